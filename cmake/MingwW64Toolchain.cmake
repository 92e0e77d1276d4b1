# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads, so
# std::thread works) and a static runtime: the executables import only
# system DLLs. Libraries built for mingw by tools/setup-windows live in
# FLINT_MINGW_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FLINT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FLINT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FLINT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${FLINT_MINGW_TRIPLE}-windres)

set(FLINT_MINGW_PREFIX "/opt/flintmoor-mingw64" CACHE PATH "mingw builds of libpng, libjpeg and GoogleTest")

set(CMAKE_FIND_ROOT_PATH /usr/${FLINT_MINGW_TRIPLE} ${FLINT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static libraries only: zlib for mingw comes with an import library too.
set(ZLIB_USE_STATIC_LIBS ON)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the test executables through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
