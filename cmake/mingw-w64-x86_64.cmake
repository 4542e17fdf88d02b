# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-build for 64-bit Windows with the distribution's MinGW-w64 (posix
# threads, so std::thread and std::mutex work), statically linked so that an
# .exe runs alone, without the compiler's DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORVANA_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KORVANA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVANA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVANA_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KORVANA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Linked into every program: files open in binary mode unless told otherwise.
set(KORVANA_MINGW_BINMODE /usr/${KORVANA_MINGW_TRIPLET}/lib/binmode.o)

# Tests and try-runs go through Wine when it is installed.
find_program(KORVANA_WINE NAMES wine64 wine)
if(KORVANA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVANA_WINE})
endif()
