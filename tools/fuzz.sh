#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs each for a given number of seconds on a copy of its committed inputs.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]      SECONDS per target, default 60; all targets by default
#
# Targets: scan, hex, conf_ini, log_stream, follower, station, archive, jsonl
# (tests/fuzz/<target>_fuzz.cpp; README "Fuzzing" says what each checks). An input that breaks a
# property, crashes, hangs or runs out of memory is saved as tests/fuzz/corpus/<target>/crash-*
# (timeout-*, oom-*, leak-*), where the replay tests of every ordinary build pick it up: commit it
# with its fix. Prints executions and coverage per target; exits 1 when anything was found.
#
# Environment: FUZZ_BUILD_DIR (default build/fuzz), FUZZ_JOBS (default 2), CC and CXX (default
# clang-14 and clang++-14), FUZZ_ARGS (more libFuzzer options, e.g. "-max_len=8192").
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --fuzz

seconds="${1:-60}"
shift || true
all_targets=(scan hex conf_ini log_stream follower station archive jsonl)
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=("${all_targets[@]}")
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [[ "$seconds" -eq 0 ]]; then
    echo "usage: $0 [SECONDS] [TARGET...]   (targets: ${all_targets[*]})" >&2
    exit 2
fi
for target in "${targets[@]}"; do
    if [[ ! -f "tests/fuzz/${target}_fuzz.cpp" ]]; then
        echo "unknown target: $target   (targets: ${all_targets[*]})" >&2
        exit 2
    fi
done

build_dir="${FUZZ_BUILD_DIR:-build/fuzz}"
export CC="${CC:-clang-14}" CXX="${CXX:-clang++-14}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVALIN_FUZZ=ON -DORVALIN_SANITIZE=ON \
    -DORVALIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j"${FUZZ_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
log_dir="$build_dir/fuzz-logs"
mkdir -p "$log_dir"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

found=0
summary=()
for target in "${targets[@]}"; do
    corpus="tests/fuzz/corpus/$target"
    mkdir -p "$corpus" "$work/$target"
    cp -r "$corpus"/. "$work/$target"/
    before="$(find "$corpus" -maxdepth 1 -type f | sort)"
    dict=()
    [[ -f "tests/fuzz/$target.dict" ]] && dict=("-dict=tests/fuzz/$target.dict")
    log="$log_dir/$target.log"
    echo "== $target: ${seconds} s, log in $log"
    status=0
    # shellcheck disable=SC2086
    "$build_dir/tests/fuzz/fuzz_$target" "$work/$target" "${dict[@]}" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$corpus/" ${FUZZ_ARGS:-} >"$log" 2>&1 || status=$?

    execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
    last="$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 || true)"
    cov="$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")"
    ft="$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")"
    corp="$(sed -n 's/.* corp: \([^ ]*\).*/\1/p' <<<"$last")"
    new="$(comm -13 <(echo "$before") <(find "$corpus" -maxdepth 1 -type f | sort) | tr '\n' ' ')"
    if [[ $status -ne 0 || -n "$new" ]]; then
        found=1
        result="FOUND (exit $status): ${new:-see log}"
        grep -E 'ERROR|property does not hold|runtime error|SUMMARY' "$log" | head -5 || true
    else
        result="ok"
    fi
    summary+=("$(printf '%-11s execs %-10s exec/s %-7s cov %-5s ft %-6s corpus %-12s %s' \
        "$target" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$result")")
done

echo
echo "== fuzzing summary (${seconds} s per target)"
printf '%s\n' "${summary[@]}"
if [[ $found -ne 0 ]]; then
    echo "Inputs that found faults are in tests/fuzz/corpus/<target>/; the replay tests fail until fixed."
fi
exit $found
