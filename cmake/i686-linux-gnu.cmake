# Cross build for Linux on 32-bit x86 (Debian: g++-i686-linux-gnu). An
# x86-64 machine runs its programs as they are: every program is linked
# statically, so none needs the 32-bit loader.
set(KIV_CROSS_ARCH i686)
set(KIV_CROSS_NATIVE ON)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
