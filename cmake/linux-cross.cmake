# What the Linux cross builds share; cmake/ARCH-linux-gnu.cmake sets
# KIV_CROSS_ARCH and includes this file. The compilers are Debian's
# g++-ARCH-linux-gnu. Tests run under qemu-user (qemu-user-static) unless
# KIV_CROSS_NATIVE is set; GoogleTest is built from the sources that
# Debian's googletest package puts in /usr/src/googletest.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${KIV_CROSS_ARCH})

set(CMAKE_C_COMPILER ${KIV_CROSS_ARCH}-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER ${KIV_CROSS_ARCH}-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${KIV_CROSS_ARCH}-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

if(NOT KIV_CROSS_NATIVE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      qemu-${KIV_CROSS_ARCH}-static -L /usr/${KIV_CROSS_ARCH}-linux-gnu)
endif()
set(KIV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
