#!/usr/bin/env bash
# Installs the packages, builds the project and runs the whole test suite under
# its own X server; then runs the suite again in a build with AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer, and finally runs each fuzz
# target for a bounded time on its seed corpus.
#
# Any failure ends the script with a non-zero status. Set FTD_SKIP_ASAN=1 or
# FTD_SKIP_FUZZ=1 to leave out a stage when working locally, FTD_FUZZ_SECONDS
# to change the time of each fuzz run (default 50).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
if [ "$(id -u)" = 0 ]; then scripts/install-deps.sh; fi
jobs=$(nproc)
# -noreset: the server must not reset between two tests when no client is
# connected, or a test starting at that moment cannot open the display.
xvfb() { xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"; }

stage() { printf '\n==== %s (%s)\n' "$1" "$(date +%H:%M:%S)"; }

stage "normal build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
xvfb ctest --test-dir build --output-on-failure -j "$jobs"

# Sanitizer settings: leaks are checked at every process end; the suppressions
# cover only the X libraries, font libraries and toolkit internals that keep
# caches until exit.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"

if [ "${FTD_SKIP_ASAN:-0}" != 1 ]; then
    stage "sanitizer build and tests"
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFTD_SANITIZE=ON \
          -DFTD_BENCH=OFF >/dev/null
    cmake --build build-asan -j "$jobs"
    xvfb ctest --test-dir build-asan --output-on-failure -j "$jobs"
fi

if [ "${FTD_SKIP_FUZZ:-0}" != 1 ]; then
    stage "fuzz build"
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DFTD_FUZZ=ON -DFTD_TESTS=OFF -DFTD_BENCH=OFF >/dev/null
    cmake --build build-fuzz -j "$jobs" --target fuzz_read_pair fuzz_load_export
    seconds=${FTD_FUZZ_SECONDS:-50}
    for target in fuzz_read_pair fuzz_load_export; do
        stage "fuzzing $target for ${seconds}s"
        work=build-fuzz/run/$target
        rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
        cp tests/fuzz_corpus/$target/* "$work/corpus/"
        # The corpus copy grows; the seeds in tests/ stay as they are. A fixed
        # seed makes a run repeatable from its log.
        if ! xvfb build-fuzz/fuzz/$target "$work/corpus" \
                -dict=fuzz/ftd.dict -max_total_time="$seconds" -timeout=10 -seed=20261206 \
                -rss_limit_mb=2048 -print_final_stats=1 \
                -artifact_prefix="$work/artifacts/" >"$work/log" 2>&1; then
            tail -n 60 "$work/log"
            echo "fuzz target $target failed; inputs kept in $work/artifacts" >&2
            exit 1
        fi
        grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
            "$work/log" || true
        grep -E 'runs by result code' "$work/log" || true
    done
fi
stage "all stages passed"
