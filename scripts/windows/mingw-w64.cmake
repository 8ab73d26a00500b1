# SPDX-License-Identifier: GPL-3.0-or-later
# CMake toolchain for 64-bit Windows with Debian's MinGW-w64 cross compilers
# (the -posix flavour, which has std::thread and std::mutex).
# QUILLORO_WINDOWS_ROOTS in the environment: further folders, separated by
# ':', that hold Windows libraries built for this toolchain (Qt, libsndfile);
# find_package, find_library and find_path look there and in MinGW's own root.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLORO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLORO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLORO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLORO_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLORO_MINGW})
if(DEFINED ENV{QUILLORO_WINDOWS_ROOTS})
    string(REPLACE ":" ";" quilloro_roots "$ENV{QUILLORO_WINDOWS_ROOTS}")
    list(APPEND CMAKE_FIND_ROOT_PATH ${quilloro_roots})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
