# Cross build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix: POSIX
# threads, so std::thread and std::mutex work). Use:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSARIN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSARIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSARIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSARIN_MINGW_PREFIX}-windres)

# The cross sysroot first; the header-only libraries (CLI11, nlohmann-json) are found among
# the build machine's packages.
set(CMAKE_FIND_ROOT_PATH /usr/${TESSARIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Static runtime: tessarin.exe runs on a bare Windows 10/11 with no DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Unicode Win32 API, Windows 10 and later.
# The C99 printf of the mingw runtime (%zu, %lld), so formats mean what they mean on Linux.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 __USE_MINGW_ANSI_STDIO=1)
