# Cross build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The posix thread model brings std::thread, std::mutex and std::condition_variable. Programs
# and libraries are linked statically, so an .exe or .dll runs without the compiler's DLLs beside
# it (under Wine too).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(UPDATER_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${UPDATER_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${UPDATER_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${UPDATER_MINGW_PREFIX}-windres)

# Libraries and headers come from the target's tree only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${UPDATER_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# A release of the Windows programs carries no symbols: update-cli.exe shrinks from about 30 MB.
# -O2 as the Linux build's. With optimisation this cross compiler (g++ 12) warns wrongly of
# overlapping copies in a plain std::string assignment (-Wrestrict) and of copies past the end
# inside std::vector::insert (-Warray-bounds): both are known faults of its library. The Linux
# build keeps both warnings, and its sanitizer suites check the same code.
set(CMAKE_CXX_FLAGS_RELEASE_INIT "-O2 -DNDEBUG -Wno-restrict -Wno-array-bounds")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
