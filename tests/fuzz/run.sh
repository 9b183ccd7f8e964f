#!/bin/bash
# Runs every libFuzzer target of a MIRAVON_FUZZ build, one after the other,
# each for FUZZ_SECONDS (default 60), then prints one line per target.
#   tests/fuzz/run.sh BUILD_DIR [TARGET...]
# The corpus each run grows is kept in BUILD_DIR/corpus/<target>; an input
# that crashes, hangs, leaks or outgrows the memory bound is written to
# BUILD_DIR/findings/<target>/ and makes the script fail.
set -uo pipefail
build=${1:?usage: run.sh BUILD_DIR [TARGET...]}
shift
seconds=${FUZZ_SECONDS:-60}
only=" $* "

summary=()
failed=0
while read -r exe seeds; do
    [ -n "$exe" ] || continue
    [ "$only" = "  " ] || [[ "$only" == *" $exe "* || "$only" == *" ${exe#fuzz_} "* ]] || continue
    corpus=$build/corpus/$exe
    findings=$build/findings/$exe
    log=$build/logs/$exe.log
    mkdir -p "$corpus" "$findings" "$build/logs"
    echo "== $exe: $seconds s"
    # -timeout: one input taking over 5 s counts as a hang. -rss_limit_mb and
    # -malloc_limit_mb: growth without bound counts as a finding.
    # shellcheck disable=SC2086
    "$build/$exe" "$corpus" $seeds -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 \
        -malloc_limit_mb=256 -max_len=8192 -print_final_stats=1 -artifact_prefix="$findings/" \
        >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
    if [ $rc -eq 0 ]; then
        result="no finding"
    else
        failed=1
        result="FINDING (exit $rc): $(ls -t "$findings" | head -1); see $log"
        grep -m3 -E 'ERROR:|runtime error|property broken|SUMMARY' "$log" | sed 's/^/   /'
    fi
    summary+=("$(printf '%-16s %12s runs %6s s  %s' "$exe" "${runs:-?}" "${secs:-?}" "$result")")
done <"$build/fuzzers.txt"

echo
printf '%s\n' "${summary[@]}"
exit $failed
