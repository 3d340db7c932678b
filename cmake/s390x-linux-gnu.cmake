# Cross build for Linux on IBM Z, big-endian (Debian: g++-s390x-linux-gnu).
set(KIV_CROSS_ARCH s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
