// The built library as a file: what its dynamic symbol table exports, and loading it by its
// base name at run time as the program does.

// Standard library
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <dlfcn.h>

// Ours
#include <pelmint.h>

#include <gtest/gtest.h>

namespace {

// The runtime name, as programs load it.
const std::string kLibraryPath = PELMINT_LIBRARY_DIR "/libPelmint.so.1";

// Toolchain and sanitizer symbols that any shared library may carry.
bool isToolchainSymbol(const std::string& name) {
    static const std::set<std::string> known = {"_init", "_fini", "_edata", "_end", "__bss_start"};
    return known.count(name) != 0 || name.rfind("__", 0) == 0;
}

TEST(PelmintLibraryTest, ExportsTheThreeFunctionsAndNothingElseOfOurs) {
    const std::string command = std::string(PELMINT_NM) + " -D --defined-only " + kLibraryPath;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_NE(pipe, nullptr);
    std::string listing;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe.get()) != nullptr) {
        listing += buffer;
    }
    ASSERT_EQ(pclose(pipe.release()), 0) << command;

    std::vector<std::string> ours;
    std::set<std::string> exported;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (!(fields >> address >> type >> name)) {
            continue;
        }
        name = name.substr(0, name.find('@'));
        if (type == "T" && (name == "CircleAreaAverage" || name == "CircleAreaStatistics" ||
                            name == "PelmintVersion")) {
            exported.insert(name);
        } else if (!isToolchainSymbol(name)) {
            ours.push_back(name);
        }
    }
    EXPECT_EQ(exported.size(), 3u) << listing;
    EXPECT_TRUE(ours.empty()) << "also exported: " << testing::PrintToString(ours);
}

TEST(PelmintLibraryTest, LoadsByBaseNameAndResolvesTheExportByName) {
    void* library = dlopen(kLibraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto measure = reinterpret_cast<CircleAreaAverageFn>(dlsym(library, "CircleAreaAverage"));
    ASSERT_NE(measure, nullptr) << dlerror();
    EXPECT_EQ(dlsym(library, "discAverage"), nullptr);

    // 0..8 in a 3 x 3 image: the radius-1 disc at the centre holds 1, 3, 4, 5 and 7.
    const uint8_t pixels[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(measure(pixels, 3, 3, 8, 1, 1, 1), 4.0);
    EXPECT_EQ(measure(pixels, 3, 3, 8, 0, 0, 1), (0.0 + 1.0 + 3.0) / 3.0);
    EXPECT_EQ(measure(pixels, 3, 3, 24, 1, 1, 1), -1.0);
    const auto version = reinterpret_cast<PelmintVersionFn>(dlsym(library, "PelmintVersion"));
    ASSERT_NE(version, nullptr) << dlerror();
    EXPECT_EQ(version(), PELMINT_VERSION);
    dlclose(library);
}

TEST(PelmintLibraryTest, CarriesTheSonameOfItsMajorVersion) {
    const std::string command = "readelf -d " + kLibraryPath;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_NE(pipe, nullptr);
    std::string listing;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe.get()) != nullptr) {
        listing += buffer;
    }
    EXPECT_NE(listing.find("Library soname: [libPelmint.so." +
                           std::to_string(PELMINT_VERSION_MAJOR) + "]"),
              std::string::npos)
        << listing;
}

} // namespace
