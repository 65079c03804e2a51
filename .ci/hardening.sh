#!/usr/bin/env bash
# Hardening checks: fuzzing, allocation failures, the unload leak check,
# clang-tidy, and a smoke run of the benchmarks. Called by .ci/run; also
# runs by hand from anywhere in the tree.
#
#   FUZZ_SECONDS   seconds of fuzzing per target after the replay (default 60; 0 = replay only)
#   HARDENING_SKIP space-separated steps to skip: tidy fuzz alloc unload bench
#
# Build directories (inside the tree): build-fuzz, build-alloc, build-hunload,
# build-htidy, build-bench. Every step runs; the script fails if any failed.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
FUZZ_SECONDS="${FUZZ_SECONDS:-60}"
HARDENING_SKIP="${HARDENING_SKIP:-}"
jobs="$(nproc 2>/dev/null || echo 2)"

passed=0
failed=0
failures=()

log() { printf '\n==== %s\n' "$*"; }
skipped() { [[ " $HARDENING_SKIP " == *" $1 "* ]]; }
record() {  # record NAME STATUS
    if [[ "$2" -eq 0 ]]; then
        passed=$((passed + 1))
        echo "---- ok: $1"
    else
        failed=$((failed + 1))
        failures+=("$1")
        echo "---- FAILED: $1"
    fi
}

# ---- tools a fresh machine may lack ----
need=()
for pkg in cmake ninja-build g++ clang clang-tidy libclang-rt-14-dev libbenchmark-dev valgrind; do
    dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if ((${#need[@]} > 0)); then
    log "installing: ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null || {
        echo "could not install ${need[*]}"
        exit 1
    }
fi

configure() {  # configure DIR [cmake args...]
    local dir="$1"
    mkdir -p "$root/$dir"
    shift
    cmake -S "$root" -B "$root/$dir" -G Ninja -DIDLEWARDEN_WERROR=ON -DIDLEWARDEN_TESTS=OFF \
        -DIDLEWARDEN_TOOLS=OFF "$@" >"$root/$dir/configure.log" 2>&1 || {
        cat "$root/$dir/configure.log"
        return 1
    }
}

# ---- clang-tidy on src/ ----
if ! skipped tidy; then
    log "clang-tidy on src/"
    status=0
    CC=clang CXX=clang++ configure build-htidy -DCMAKE_EXPORT_COMPILE_COMMANDS=ON || status=1
    if [[ $status -eq 0 ]]; then
        # The sources of this system's platform only: the compile database has no others.
        sources=$(git ls-files 'src/*.cpp' | grep -v '_windows\.cpp$')
        printf '%s\n' $sources | xargs -P "$jobs" -n 1 clang-tidy -p build-htidy --quiet \
            >build-htidy/tidy.log 2>&1 || status=1
        grep -E '(warning|error):' build-htidy/tidy.log || true
    fi
    record "clang-tidy" $status
    # The tree keeps the committed layout.
    unformatted=()
    for f in $(git ls-files '*.h' '*.cpp'); do
        clang-format --style=file "$f" | cmp -s "$f" - || unformatted+=("$f")
    done
    if ((${#unformatted[@]} > 0)); then
        echo "not formatted with .clang-format: ${unformatted[*]}"
        record "clang-format" 1
    else
        record "clang-format" 0
    fi
fi

# ---- fuzzing: replay every saved input, then fuzz each target ----
if ! skipped fuzz; then
    log "fuzz targets (clang, libFuzzer + ASan + UBSan)"
    status=0
    CC=clang CXX=clang++ configure build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIDLEWARDEN_FUZZ=ON || status=1
    targets="fuzz_ini fuzz_text fuzz_session fuzz_reentry"
    if [[ $status -eq 0 ]]; then
        # shellcheck disable=SC2086
        cmake --build build-fuzz --target $targets >build-fuzz/build.log 2>&1 || {
            tail -50 build-fuzz/build.log
            status=1
        }
    fi
    record "fuzz build" $status
    if [[ $status -eq 0 ]]; then
        for t in $targets; do
            corpus="$root/fuzz/corpus/$t"
            regressions="$root/fuzz/regressions/$t"
            mkdir -p "$corpus" "$regressions"
            ./build-fuzz/fuzz/$t -runs=0 "$corpus" "$regressions" >"build-fuzz/$t.replay.log" 2>&1
            s=$?
            [[ $s -eq 0 ]] || tail -40 "build-fuzz/$t.replay.log"
            record "$t replay" $s
            if ((FUZZ_SECONDS > 0)); then
                work="$root/build-fuzz/work/$t"
                artifacts="$root/build-fuzz/artifacts/$t/"
                mkdir -p "$work" "$artifacts"
                # New inputs go to the work directory; the tree's corpus only seeds.
                timeout $((FUZZ_SECONDS + 60)) ./build-fuzz/fuzz/$t -max_total_time="$FUZZ_SECONDS" -timeout=10 \
                    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts" \
                    "$work" "$corpus" "$regressions" >"build-fuzz/$t.fuzz.log" 2>&1
                s=$?
                grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "build-fuzz/$t.fuzz.log" || true
                if [[ $s -ne 0 ]]; then
                    grep -v '^#' "build-fuzz/$t.fuzz.log" | tail -60
                    echo "crash inputs (copy into fuzz/regressions/$t/):"
                    ls -1 "$artifacts"
                fi
                record "$t fuzz ${FUZZ_SECONDS}s" $s
            fi
        done
    fi
fi

# ---- allocation failures (gcc, ASan + LSan) ----
if ! skipped alloc; then
    log "allocation-failure suite"
    status=0
    configure build-alloc -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIDLEWARDEN_SANITIZE=ON -DIDLEWARDEN_ALLOC_TESTS=ON ||
        status=1
    if [[ $status -eq 0 ]]; then
        cmake --build build-alloc --target alloc_failure_test unload_check >build-alloc/build.log 2>&1 || {
            tail -50 build-alloc/build.log
            status=1
        }
    fi
    if [[ $status -eq 0 ]]; then
        ctest --test-dir build-alloc -L alloc --output-on-failure || status=1
    fi
    record "allocation failures" $status
fi

# ---- unload: the real module file leaves nothing allocated (valgrind) ----
if ! skipped unload; then
    log "unload leak check (valgrind memcheck)"
    status=0
    configure build-hunload -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIDLEWARDEN_ALLOC_TESTS=ON || status=1
    if [[ $status -eq 0 ]]; then
        cmake --build build-hunload --target unload_check >build-hunload/build.log 2>&1 || {
            tail -50 build-hunload/build.log
            status=1
        }
    fi
    if [[ $status -eq 0 ]]; then
        valgrind -q --leak-check=full --show-leak-kinds=definite,indirect,possible \
            --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=1 \
            ./build-hunload/tests/alloc/unload_check || status=1
    fi
    record "unload leak check" $status
fi

# ---- benchmarks: they build and run (numbers: docs/performance.md) ----
if ! skipped bench; then
    log "benchmark smoke run"
    status=0
    configure build-bench -DCMAKE_BUILD_TYPE=Release -DIDLEWARDEN_BENCH=ON || status=1
    if [[ $status -eq 0 ]]; then
        cmake --build build-bench --target idlewarden_bench idlewarden_settings_bench >build-bench/build.log 2>&1 || {
            tail -50 build-bench/build.log
            status=1
        }
    fi
    if [[ $status -eq 0 ]]; then
        : >build-bench/smoke.log
        for program in idlewarden_bench idlewarden_settings_bench; do
            ./build-bench/bench/$program --benchmark_min_time=0.01 >>build-bench/smoke.log 2>&1 || {
                cat build-bench/smoke.log
                status=1
            }
        done
        grep -q 'ERROR OCCURRED' build-bench/smoke.log && {
            grep 'ERROR OCCURRED' build-bench/smoke.log
            status=1
        }
    fi
    record "benchmark smoke run" $status
fi

log "hardening summary"
for f in "${failures[@]}"; do echo "failed: $f"; done
echo "hardening: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
