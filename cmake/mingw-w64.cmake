# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler (the POSIX thread model, so that
# std::thread works), statically linked: the programs need nothing but what Windows has.
# The libraries built for it (scripts/windows-build.sh) are found through QUILLANE_WINDOWS_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-gcc-ar-posix)
set(CMAKE_RANLIB ${triple}-gcc-ranlib-posix)
set(CMAKE_STRIP ${triple}-strip)

if(NOT QUILLANE_WINDOWS_PREFIX AND DEFINED ENV{QUILLANE_WINDOWS_PREFIX})
  set(QUILLANE_WINDOWS_PREFIX $ENV{QUILLANE_WINDOWS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${QUILLANE_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(QUILLANE_WINDOWS_PREFIX)
  # pkg-config reads the Windows libraries' .pc files only, never the build machine's.
  set(ENV{PKG_CONFIG_LIBDIR} ${QUILLANE_WINDOWS_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
endif()

# One file: the compiler's runtime and the thread library linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests run under Wine on the build machine.
find_program(QUILLANE_WINE NAMES wine wine64)
if(QUILLANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLANE_WINE})
endif()
