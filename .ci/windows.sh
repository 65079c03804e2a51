#!/usr/bin/env bash
# The Windows module: cross builds of the 32- and 64-bit DLLs and of
# hostsim.exe for each, checks of their export and import tables, the
# scenario suite under Wine for both pairs (the 64-bit one under wine64, the
# 32-bit one under 32-bit Wine, with a check that `talk` is cdecl), and the
# operators' ZIP packages. The 32-bit pair runs only where this machine runs
# 32-bit x86 code; elsewhere it is built and checked, and its run is skipped.
# Called by .ci/run; docs/windows.md explains each step.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
source .ci/probe32.sh
run32=0
if native32; then run32=1; fi

# ---- toolchains and Wine, installed only when missing
need=()
command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || need+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || need+=(g++-mingw-w64-x86-64)
[ -x "$wine64" ] || need+=(wine64)
# 32-bit Wine comes from the i386 architecture (it may bring 64-bit packages
# up to its own version).
if ((run32)); then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
fi
if ((${#need[@]})); then
  echo "== installing: ${need[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# ---- builds: warnings are errors; each has its hostsim.exe (and the
# 32-bit one cdecl_check.exe)
echo "== cross builds"
cmake --no-warn-unused-cli -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DIDLEWARDEN_WERROR=ON -DIDLEWARDEN_TOOLS=ON >/dev/null
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

# ---- scenario suite under Wine, for each DLL with the hostsim.exe of its build
# One throw-away 64-bit prefix for both (its first start takes seconds); it
# runs 32-bit programs too, as 64-bit Windows does. Each scenario runs in a
# fresh directory of its own, which is the Windows current directory of
# hostsim and so of the module's settings file.
export WINEDEBUG=-all WINEPREFIX
WINEPREFIX=$(mktemp -d)
scratch=$(mktemp -d)
cleanup() {
  "${wine64%/*}/wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$scratch"
}
trap cleanup EXIT
"$wine64" wineboot --init >/dev/null 2>&1 || true

# scenario_suite NAME WINE BUILD: plays the scenarios with BUILD/hostsim.exe
# against BUILD/idlewarden.dll under WINE; fails when one fails.
scenario_suite() {
  local name=$1 wine=$2 hostsim=$root/$3/hostsim.exe module=$root/$3/idlewarden.dll
  local passed=0 failed=0 rc=0 scenario dir
  for scenario in tests/scenarios/*.scn examples/arena.scn; do
    if [ ! -f "$scenario" ]; then
      echo "note: $scenario is missing"
      continue
    fi
    dir=$scratch/$name/$(basename "$scenario" .scn)
    mkdir -p "$dir"
    # Unix paths reach Windows programs through Wine's drive Z: (Z:\...).
    if (cd "$dir" && timeout 300 "$wine" "$hostsim" --module "$module" --workdir work --no-color "$root/$scenario") \
      </dev/null >"$dir/output.txt" 2>&1; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
      echo "FAIL: $name: $scenario" >&2
      cat "$dir/output.txt" >&2
    fi
  done
  # The harness must see a failure as one: a scenario with a wrong
  # expectation has to end with exit code 1 under Wine too.
  (cd "$scratch/$name" && timeout 300 "$wine" "$hostsim" --module "$module" --workdir wrong --no-color \
    "$root/tests/scenarios/errors/wrong_text.scn") </dev/null >"$scratch/$name/wrong_text.txt" 2>&1 || rc=$?
  if [ "$rc" -ne 1 ]; then
    echo "FAIL: $name: a failing scenario ended with exit code $rc under Wine, not 1" >&2
    cat "$scratch/$name/wrong_text.txt" >&2
    failed=$((failed + 1))
  fi
  echo "$name: $passed passed, $failed failed"
  ((failed == 0 && passed > 0))
}

suites=0
echo "== scenario suite under wine64 (build-win64)"
TIMEFORMAT="wine64: suite took %R s"
time scenario_suite wine64 "$wine64" build-win64 || suites=1
if ((run32)); then
  echo "== talk is cdecl, under 32-bit Wine (build-win32)"
  timeout 300 "$wine32" "$root/build-win32/cdecl_check.exe" "$root/build-win32/idlewarden.dll" </dev/null || suites=1
  echo "== scenario suite under 32-bit Wine (build-win32)"
  TIMEFORMAT="wine32: suite took %R s"
  time scenario_suite wine32 "$wine32" build-win32 || suites=1
else
  echo "== wine32 skipped: this machine runs no 32-bit x86 code (32-bit Wine under qemu-user takes minutes per program)"
fi
if ((suites)); then
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
