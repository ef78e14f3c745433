# Cross-build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686-win32).
# HotSync Managers are 32-bit programs, so their conduits are 32-bit DLLs.
# The win32 thread model: nothing here uses threads, and the posix model's
# runtime links libwinpthread, which imports calls that Windows XP lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(LENSFOLIO_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${LENSFOLIO_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${LENSFOLIO_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${LENSFOLIO_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${LENSFOLIO_MINGW_PREFIX}-dlltool)
set(CMAKE_OBJDUMP ${LENSFOLIO_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${LENSFOLIO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The binaries need nothing but the HotSync libraries and Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_SHARED_LINKER_FLAGS_RELEASE_INIT "-s")
