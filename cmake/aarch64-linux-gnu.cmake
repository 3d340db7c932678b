# Cross build for Linux on 64-bit Arm (Debian: g++-aarch64-linux-gnu).
set(KIV_CROSS_ARCH aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
