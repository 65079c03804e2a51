#!/usr/bin/env bash
# The 32-bit interface on Linux: the module, hostsim and the whole test
# suite built with gcc -m32 (cmake/toolchain-linux-i686.cmake), warnings as
# errors, and run with ctest: natively where the kernel runs 32-bit x86
# code, else every test program under qemu-i386 (slower, same results).
# Called by .ci/run.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/probe32.sh

args=(-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-linux-i686.cmake -DIDLEWARDEN_WERROR=ON)
if native32; then
  echo "== 32-bit Linux build; tests run natively"
  args+=(-DCMAKE_CROSSCOMPILING_EMULATOR=)
else
  if ! command -v qemu-i386 >/dev/null 2>&1; then
    echo "== installing: qemu-user"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user >/dev/null
  fi
  echo "== 32-bit Linux build; this machine runs no 32-bit code, so tests run under qemu-i386"
  args+=(-DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v qemu-i386)")
fi
cmake -S . -B build32 "${args[@]}" >/dev/null
cmake --build build32 -j2

kind=$(file -b build32/idlewarden.so)
exports=$(nm -D --defined-only build32/idlewarden.so | awk '{print $NF}')
echo "build32/idlewarden.so: $kind; exports [$exports]"
if [[ $kind != "ELF 32-bit"* ]] || [ "$exports" != "talk" ]; then
  echo "FAIL: build32/idlewarden.so must be a 32-bit ELF module exporting talk alone" >&2
  exit 1
fi

TIMEFORMAT="linux32: $(ctest --test-dir build32 -N | awk '/^Total Tests:/ {print $3}') tests passed in %R s"
time ctest --test-dir build32 --output-on-failure -j2
