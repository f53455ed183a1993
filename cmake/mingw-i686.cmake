# Windows x86 build: the 32-bit release program. Its tests run under Wine's 32-bit part (wine32),
# emulated by qemu-i386 where the machine cannot run 32-bit code (tests/i386/setup).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# SSE2 lets the UTF-8 check take sixteen bytes at a time. The program therefore needs a processor with SSE2
# (Windows 8 and later need one anyway; on Windows 7 it is the one thing beyond the system it asks for).
set(CMAKE_C_FLAGS_INIT "-msse2")
set(CMAKE_CXX_FLAGS_INIT "-msse2")
# The release configuration (optimised, no debug information, no build path or time stamp in the programs)
# is set where the build is configured: tools/package, which tools/test runs for build/win32.
