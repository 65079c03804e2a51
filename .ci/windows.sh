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
wine=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
source .ci/probe32.sh
run32=0
if native32; then run32=1; fi

# ---- toolchains and Wine, installed only when missing
need=()
command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || need+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || need+=(g++-mingw-w64-x86-64)
[ -x "$wine" ] || need+=(wine64)
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

# ---- builds: warnings are errors; both packages carry hostsim.exe, and
# the 32-bit build has cdecl_check.exe too
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

# ---- version resource
# The release number of CMakeLists.txt's project() must reach the DLL's
# VERSIONINFO: a resource directory, and FileVersion and ProductVersion
# (UTF-16 strings in it) equal to the CMake version.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win32/CMakeCache.txt)
check_version() {
  local triple=$1 dll=$2 texts key value want
  if ! "$triple-objdump" -p "$dll" | awk '/Resource Directory \[\.rsrc\]/ && $3 != "00000000" {found=1} END {exit !found}'; then
    echo "FAIL: $dll has no resource directory" >&2
    return 1
  fi
  texts=$("$triple-strings" -el "$dll")
  for key in FileVersion ProductVersion ProductName; do
    value=$(grep -x -A1 "$key" <<<"$texts" | sed -n 2p)
    want=$version
    [ "$key" = ProductName ] && want=Idlewarden
    echo "$dll: $key $value"
    if [ "$value" != "$want" ]; then
      echo "FAIL: $dll: $key is \"$value\", not \"$want\"" >&2
      return 1
    fi
  done
}
echo "== version resource ($version)"
check_version i686-w64-mingw32 build-win32/idlewarden.dll
check_version x86_64-w64-mingw32 build-win64/idlewarden.dll

# ---- scenario suite under Wine, for each DLL with the hostsim.exe of its build
# One throw-away 64-bit prefix for both (its first start takes seconds); it
# runs 32-bit programs too, as 64-bit Windows does. Each scenario runs in a
# fresh directory of its own, which is the Windows current directory of
# hostsim and so of the module's settings file.
export WINEDEBUG=-all WINEPREFIX
WINEPREFIX=$(mktemp -d)
scratch=$(mktemp -d)
cleanup() {
  "${wine%/*}/wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$scratch"
}
trap cleanup EXIT
"$wine" wineboot --init >/dev/null 2>&1 || true

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
  # The settings check reads a file as the module does on Windows too: the
  # fixtures' whole output (line ends aside) and exit codes, and exit 2 for a
  # missing file.
  local fixture file want expected out
  for fixture in clean:0 flawed:1 missing:2; do
    file=${fixture%%:*}
    want=${fixture##*:}
    out=$scratch/$name/check_$file
    rc=0
    (cd tests/scenarios/settings_check && timeout 300 "$wine" "$hostsim" --module "$module" --check-settings "$file.ini") \
      </dev/null >"$out.txt" 2>&1 || rc=$?
    tr -d '\r' <"$out.txt" >"$out.lf"
    expected=tests/scenarios/settings_check/$file.expected
    if [ "$rc" -ne "$want" ] || { [ -f "$expected" ] && ! cmp -s "$expected" "$out.lf"; }; then
      echo "FAIL: $name: --check-settings $file.ini under Wine (exit $rc, expected $want)" >&2
      cat "$out.txt" >&2
      failed=$((failed + 1))
    else
      passed=$((passed + 1))
    fi
  done
  echo "$name: $passed passed, $failed failed"
  ((failed == 0 && passed > 0))
}

suites=0
echo "== scenario suite under wine64 (build-win64)"
TIMEFORMAT="wine64: suite took %R s"
time scenario_suite wine64 "$wine" build-win64 || suites=1
if ((run32)); then
  echo "== talk is cdecl, under 32-bit Wine (build-win32)"
  timeout 300 "$wine32" "$root/build-win32/cdecl_check.exe" "$root/build-win32/idlewarden.dll" </dev/null || suites=1
  echo "== scenario suite under 32-bit Wine (build-win32)"
  TIMEFORMAT="wine32: suite took %R s"
  time scenario_suite wine32 "$wine32" build-win32 || suites=1
else
  echo "== wine32 skipped: this machine runs no 32-bit x86 code (32-bit Wine under qemu-user takes minutes per program)"
fi
# Strict records on Windows: a module that reads a released player record
# is stopped with exit code 4 and the statement's line (VirtualProtect and
# a vectored exception handler), and the run cleans up as usual.
echo "== strict records under wine64"
x86_64-w64-mingw32-g++ -std=c++20 -O1 -shared -static -Isrc -o "$scratch/faulty_module.dll" \
  tests/scenarios/errors/faulty_module.cpp
rc=0
(cd "$scratch" && timeout 300 "$wine" "$root/build-win64/hostsim.exe" --module "$scratch/faulty_module.dll" --no-color \
  "$root/tests/scenarios/errors/released_after_leave.scn") </dev/null >"$scratch/released.txt" 2>&1 || rc=$?
if [ "$rc" -ne 4 ] || ! grep -q 'released_after_leave.scn:7: error: the module read the record of "Ann"' \
  "$scratch/released.txt"; then
  echo "FAIL: a released record read under Wine ended with exit code $rc, not 4 and its report" >&2
  cat "$scratch/released.txt" >&2
  suites=1
fi
if ((suites)); then
  exit 1
fi

# ---- packages
# Each ZIP holds one folder with the DLL, the operators' documents, the
# inactive example settings and hostsim with its demo; an Idlewarden.ini
# anywhere in it would take effect when unpacked into a host's folder, so
# there must be none. The demo then runs from the unpacked 64-bit package
# with the command line that README.txt gives the operator.
echo "== packages"
package_files="idlewarden.dll README.txt LICENSE.txt CHANGELOG.txt Idlewarden.example.ini
  hostsim/hostsim.exe hostsim/arena.scn hostsim/arena.ini"
for build in build-win32 build-win64; do
  arch=${build#build-}
  top=idlewarden-$version-$arch
  rm -f "$build"/idlewarden-*.zip
  (cd "$build" && cpack -G ZIP >/dev/null)
  zip=$build/$top.zip
  if [ ! -f "$zip" ]; then
    echo "FAIL: cpack made no $zip" >&2
    exit 1
  fi
  listing=$(cmake -E tar tf "$zip")
  echo "$zip:" $listing
  for file in $package_files; do
    if ! grep -qx "$top/$file" <<<"$listing"; then
      echo "FAIL: $zip lacks $file" >&2
      exit 1
    fi
  done
  if grep -qix '.*/idlewarden\.ini' <<<"$listing"; then
    echo "FAIL: $zip holds an active settings file: $(grep -ix '.*/idlewarden\.ini' <<<"$listing")" >&2
    exit 1
  fi
  mkdir -p "$scratch/unpacked-$arch"
  (cd "$scratch/unpacked-$arch" && cmake -E tar xf "$root/$zip")
  # The packaged DLL is stripped: its version resource must survive that.
  triple=i686-w64-mingw32
  [ "$arch" = win64 ] && triple=x86_64-w64-mingw32
  check_version "$triple" "$scratch/unpacked-$arch/$top/idlewarden.dll" >/dev/null
done
package=$scratch/unpacked-win64/idlewarden-$version-win64
reported=$(cd "$package" && "$wine" 'hostsim\hostsim.exe' --version </dev/null | tr -d '\r')
if [ "$reported" != "hostsim (Idlewarden) $version" ]; then
  echo "FAIL: hostsim --version says \"$reported\", CMake says $version" >&2
  exit 1
fi
if ! (cd "$package" && timeout 300 "$wine" 'hostsim\hostsim.exe' --module idlewarden.dll --no-color 'hostsim\arena.scn') \
  </dev/null >"$scratch/package-demo.txt" 2>&1; then
  echo "FAIL: the demo does not run from the unpacked package" >&2
  cat "$scratch/package-demo.txt" >&2
  exit 1
fi
if [ -n "$(find "$package" -iname idlewarden.ini)" ]; then
  echo "FAIL: the demo wrote a settings file into the package folder" >&2
  exit 1
fi
echo "package demo: $(grep -c . "$scratch/package-demo.txt") lines of output, exit 0"
# The example settings file must read clean (exit 0) with the settings checker.
if (cd "$package" && "$wine" 'hostsim\hostsim.exe' --help </dev/null) | grep -q -- --check-settings; then
  if ! (cd "$package" && "$wine" 'hostsim\hostsim.exe' --module idlewarden.dll --check-settings Idlewarden.example.ini) \
    </dev/null >"$scratch/check-example.txt" 2>&1; then
    echo "FAIL: Idlewarden.example.ini does not check clean" >&2
    cat "$scratch/check-example.txt" >&2
    exit 1
  fi
else
  echo "note: this hostsim has no --check-settings; the example file is not checked"
fi
echo "== windows checks passed"
