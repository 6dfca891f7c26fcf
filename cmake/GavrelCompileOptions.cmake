# Warning and sanitizer flags shared by every target of the project.

add_library(gavrel_compile_options INTERFACE)
target_compile_options(gavrel_compile_options INTERFACE
    $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor>
    $<$<CXX_COMPILER_ID:MSVC>:/W4 /utf-8>)
if(GAVREL_WERROR)
    target_compile_options(gavrel_compile_options INTERFACE
        $<$<CXX_COMPILER_ID:GNU,Clang>:-Werror>
        $<$<CXX_COMPILER_ID:MSVC>:/WX>)
endif()

if(GAVREL_SANITIZE)
    set(gavrel_sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_compile_options(${gavrel_sanitize_flags})
    add_link_options(-fsanitize=address,undefined)
endif()
