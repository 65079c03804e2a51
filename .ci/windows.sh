#!/usr/bin/env bash
# The Windows module: cross builds of the 32- and 64-bit DLLs, checks of
# their export and import tables, the scenario suite under Wine (64-bit
# only: this kernel runs no 32-bit code), and the operators' ZIP packages.
# Called by .ci/run; docs/windows.md explains each step.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
wine=/usr/lib/wine/wine64

# ---- toolchains and Wine, installed only when missing
need=()
command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || need+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || need+=(g++-mingw-w64-x86-64)
[ -x "$wine" ] || need+=(wine64)
if ((${#need[@]})); then
  echo "== installing: ${need[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}"
fi

# ---- builds: warnings are errors; the 32-bit build needs no host tool
echo "== cross builds"
cmake --no-warn-unused-cli -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DIDLEWARDEN_WERROR=ON -DIDLEWARDEN_TOOLS=OFF >/dev/null
cmake --no-warn-unused-cli -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DIDLEWARDEN_WERROR=ON >/dev/null
cmake --build build-win32 -j2
cmake --build build-win64 -j2

# ---- export and import tables
# Exactly one export, `talk`, undecorated; imports from KERNEL32 and the C
# runtime only (msvcrt.dll or the UCRT's api-ms-win-crt-* sets).
check_tables() {
  local objdump=$1 dll=$2 dump exports imports bad
  dump=$("$objdump" -p "$dll")
  exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | awk '/^\t\[/ {print $NF}' | sort -u)
  imports=$(awk '/DLL Name:/ {print $3}' <<<"$dump")
  echo "$dll: exports [$(tr '\n' ' ' <<<"$exports")] imports [$(tr '\n' ' ' <<<"$imports")]"
  if [ "$exports" != "talk" ]; then
    echo "FAIL: $dll must export exactly one symbol, talk" >&2
    return 1
  fi
  bad=$(grep -viE '^(kernel32\.dll|msvcrt\.dll|api-ms-win-crt-[a-z0-9-]+\.dll)$' <<<"$imports" || true)
  if [ -n "$bad" ] || [ -z "$imports" ]; then
    echo "FAIL: $dll imports from non-system DLLs: $bad" >&2
    return 1
  fi
}
echo "== DLL tables"
check_tables i686-w64-mingw32-objdump build-win32/idlewarden.dll
check_tables x86_64-w64-mingw32-objdump build-win64/idlewarden.dll

# ---- scenario suite under Wine, against the 64-bit DLL
# One throw-away prefix for the whole suite (its first start takes seconds);
# each scenario runs in a fresh directory of its own, which is the Windows
# current directory of hostsim and so of the module's settings file.
echo "== scenario suite under Wine"
hostsim=$root/build-win64/hostsim.exe
module=$root/build-win64/idlewarden.dll
export WINEDEBUG=-all WINEPREFIX
WINEPREFIX=$(mktemp -d)
scratch=$(mktemp -d)
cleanup() {
  "${wine%/*}/wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$scratch"
}
trap cleanup EXIT
"$wine" wineboot --init >/dev/null 2>&1 || true

passed=0
failed=0
for scenario in tests/scenarios/*.scn examples/arena.scn; do
  if [ ! -f "$scenario" ]; then
    echo "note: $scenario is missing"
    continue
  fi
  dir=$scratch/$(basename "$scenario" .scn)
  mkdir -p "$dir"
  # Unix paths reach Windows programs through Wine's drive Z: (Z:\...).
  if (cd "$dir" && timeout 300 "$wine" "$hostsim" --module "$module" --workdir work --no-color "$root/$scenario") \
    </dev/null >"$dir/output.txt" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $scenario" >&2
    cat "$dir/output.txt" >&2
  fi
done
# The harness must see a failure as one: a scenario with a wrong
# expectation has to end with exit code 1 under Wine too.
rc=0
(cd "$scratch" && timeout 300 "$wine" "$hostsim" --module "$module" --workdir wrong --no-color \
  "$root/tests/scenarios/errors/wrong_text.scn") </dev/null >"$scratch/wrong_text.txt" 2>&1 || rc=$?
if [ "$rc" -ne 1 ]; then
  echo "FAIL: a failing scenario ended with exit code $rc under Wine, not 1" >&2
  cat "$scratch/wrong_text.txt" >&2
  failed=$((failed + 1))
fi
# Strict records on Windows: a module that reads a released player record
# is stopped with exit code 4 and the statement's line (VirtualProtect and
# a vectored exception handler), and the run cleans up as usual.
x86_64-w64-mingw32-g++ -std=c++20 -O1 -shared -static -Isrc -o "$scratch/faulty_module.dll" \
  tests/scenarios/errors/faulty_module.cpp
rc=0
(cd "$scratch" && timeout 300 "$wine" "$hostsim" --module "$scratch/faulty_module.dll" --no-color \
  "$root/tests/scenarios/errors/released_after_leave.scn") </dev/null >"$scratch/released.txt" 2>&1 || rc=$?
if [ "$rc" -ne 4 ] || ! grep -q 'released_after_leave.scn:7: error: the module read the record of "Ann"' \
  "$scratch/released.txt"; then
  echo "FAIL: a released record read under Wine ended with exit code $rc, not 4 and its report" >&2
  cat "$scratch/released.txt" >&2
  failed=$((failed + 1))
fi
echo "wine: $passed passed, $failed failed"
if ((failed > 0 || passed == 0)); then
  exit 1
fi

# ---- packages
echo "== packages"
for build in build-win32 build-win64; do
  (cd "$build" && cpack -G ZIP >/dev/null)
  arch=${build#build-}
  zip=$(ls "$build"/idlewarden-*-"$arch".zip)
  listing=$(cmake -E tar tf "$zip")
  echo "$zip:" $listing
  for file in idlewarden.dll README.md Idlewarden.ini; do
    if ! grep -q "/$file\$" <<<"$listing"; then
      echo "FAIL: $zip lacks $file" >&2
      exit 1
    fi
  done
done
echo "== windows checks passed"
