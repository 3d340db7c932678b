# Cross build for Linux on IBM Z, big-endian (Debian: g++-s390x-linux-gnu).
# Tests run under qemu-user (qemu-user-static); GoogleTest is built
# from the sources that Debian's googletest package puts in
# /usr/src/googletest.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)

set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/s390x-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-s390x-static -L /usr/s390x-linux-gnu)
set(KIV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
