# Debian package: `cpack -G DEB` in a build folder configured with CMAKE_INSTALL_PREFIX=/usr.

set(CPACK_PACKAGE_NAME gavrel)
set(CPACK_PACKAGE_VENDOR "Gavrel developers")
set(CPACK_PACKAGE_CONTACT "Gavrel developers <gavrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Gavrel measures the mean grey level inside a circle placed on a 512 x 480 grey image\
 from a camera or a BMP file, and judges it OK or NG against a standard and a tolerance.\
 It ships with the Pelmint measurement library.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What dpkg-shlibdeps cannot see: plugins loaded at run time and the fonts of the window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, fonts-liberation2, fonts-noto-cjk")
# gavrel-measure reads TIFF files through the image format plugins.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, qt6-image-formats-plugins")
include(CPack)
