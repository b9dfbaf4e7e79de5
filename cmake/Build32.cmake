# Everything is 32-bit: packed data holds 4-byte pointers and records constructed in place
# over their stored bytes. SSE arithmetic keeps float results equal at every optimisation level;
# -fno-lifetime-dse keeps stored fields alive through in-place construction.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
if(NOT CMAKE_BUILD_TYPE)
    set(CMAKE_BUILD_TYPE RelWithDebInfo)
endif()

# 64-bit file offsets: a 32-bit program reading a folder on a large file system otherwise
# sees the listing end early (EOVERFLOW from readdir), and files past 2 GiB cannot be opened.
add_compile_definitions(_FILE_OFFSET_BITS=64)
add_compile_options(-m32 -msse2 -mfpmath=sse -ffp-contract=off
                    -fno-lifetime-dse -fno-strict-aliasing -Wall -Wextra)
add_link_options(-m32)

option(MG_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
# Video decoding links FFmpeg's libraries and the hundred-odd libraries they load; an instrumented
# process under user-mode emulation cannot map them beside the sanitizer's shadow memory, so the
# sanitizer build leaves them out (its readers of outside data do not include videos).
if(MG_SANITIZE)
    option(MG_VIDEO_DECODING "Play videos through FFmpeg's libraries" OFF)
else()
    option(MG_VIDEO_DECODING "Play videos through FFmpeg's libraries" ON)
endif()

# Warnings are errors in our own code; third-party sources built here (GoogleTest) opt out.
# The sanitizer build keeps them warnings: instrumented code misleads GCC's flow analysis into
# false reports (string truncation on bounded strncat), and the normal build already holds the line.
if(NOT MG_SANITIZE)
    add_compile_options(-Werror)
endif()

# -DMG_SANITIZE=ON: UndefinedBehaviorSanitizer everywhere, AddressSanitizer over the C heap (the
# engine library then takes the console heap in place of its arena, so that every allocation is
# one the sanitizer guards). Alignment and vptr checks stay off: packed records are unaligned and
# objects are constructed in place over stored bytes, both by design.
if(MG_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr,alignment -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize=vptr,alignment)
endif()

# i386 libraries from Debian's multiarch folders.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_LIBRARY_CUSTOM_LIB_SUFFIX 32)

set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# The Python oracles import the Debian packages setup.sh installs (numpy, Pillow,
# scipy); prefer the system interpreter over any version manager's shim.
if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python3_EXECUTABLE /usr/bin/python3)
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# SDL2 (window, input devices), found once for every folder that links it.
find_package(SDL2 REQUIRED CONFIG)
