#!/usr/bin/env bash
# Runs every fuzz target of a VORLEN_FUZZ build for a bounded time (`make fuzz`).
#
#   tools/run-fuzzers.sh [build-dir]     FUZZ_SECONDS=30 by default, per target
#
# Each target starts from a copy of its committed corpus (tests/fuzz/corpus/<target>) in
# <build-dir>/fuzz-run/<target>/, so the source tree is never written to; what the run adds to
# the corpus, its log and any crashing input stay there. A crash, a leak, a sanitizer report,
# an input slower than 10 s or a process above 2 GB fails the run, and the path of the input
# that did it is printed. Reproduce one with: <build-dir>/tests/fuzz/<target>_fuzzer <input>
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build-fuzz}" && pwd)"
seconds="${FUZZ_SECONDS:-30}"
targets=(png jpeg vorbis theora results_book workbook_stream)

run="$build/fuzz-run"
rm -rf "$run"
# The workbook target writes and saves a file per input: in memory (/dev/shm) that is several
# times faster than on a disk that flushes every save.
scratch=$(mktemp -d /dev/shm/vorlen-fuzz-XXXXXX 2>/dev/null || mktemp -d "$run-tmp-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
status=0
for target in "${targets[@]}"; do
    binary="$build/tests/fuzz/${target}_fuzzer"
    here="$run/$target"
    mkdir -p "$here/corpus" "$here/crashes" "$scratch/$target"
    cp "$root/tests/fuzz/corpus/$target/"* "$here/corpus/"
    if [[ ! -x "$binary" ]]; then
        echo "fuzz: $binary is missing (build the 'fuzzers' target of a -DVORLEN_FUZZ=ON build)" >&2
        status=1
        continue
    fi
    # The targets' own messages about the broken inputs they are fed go nowhere
    # (-close_fd_mask=2); libFuzzer and the sanitizers keep writing their reports to the log.
    TMPDIR="$scratch/$target" \
    ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:allocator_may_return_null=0" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    LSAN_OPTIONS="suppressions=$root/tests/lsan-system-libraries.supp" \
        "$binary" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        -close_fd_mask=2 -artifact_prefix="$here/crashes/" "$here/corpus" >"$here/log" 2>&1
    result=$?
    mapfile -t found < <(find "$here/crashes" -type f | sort)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$here/log")
    if ((result != 0 || ${#found[@]} > 0)); then
        status=1
        echo "fuzz: $target FAILED (exit $result) after ${runs:-?} inputs; log: $here/log" >&2
        grep -m1 -E "^==[0-9]+==ERROR|SUMMARY:|runtime error:|ERROR: libFuzzer" "$here/log" >&2 || tail -n 20 "$here/log" >&2
        for input in "${found[@]}"; do echo "fuzz: input that failed: $input" >&2; done
    else
        echo "fuzz: $target: ${runs:-?} inputs in ${seconds} s, no fault found"
    fi
done
exit "$status"
