# 32-bit x86 Linux build on an x86-64 Linux machine, with gcc/g++ -m32
# (Debian's gcc-multilib and g++-multilib):
#   cmake -S . -B build32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-linux-i686.cmake
#
# Not a cross build: CMAKE_SYSTEM_NAME stays unset, so the machine is taken
# to run the 32-bit programs and the tests are configured as usual. Where the
# kernel runs no 32-bit code, add -DCMAKE_CROSSCOMPILING_EMULATOR=qemu-i386
# and every test program runs under the emulator (.ci/linux32.sh does).
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
foreach(kind C CXX EXE_LINKER SHARED_LINKER MODULE_LINKER)
  set(CMAKE_${kind}_FLAGS_INIT -m32)
endforeach()
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

# The installed GoogleTest libraries are 64-bit: build the tests' own from
# the sources (cmake/googletest.cmake).
set(IDLEWARDEN_GTEST_FROM_SOURCE ON)
