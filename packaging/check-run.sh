#!/usr/bin/env bash
# An installed or unpacked quillon works on its own: --version, then a default console run on
# its simulated test set that passes and saves all 73 lines of results. Pauses are skipped.
#   packaging/check-run.sh QUILLON WORK_FOLDER
set -euo pipefail

quillon="$1" work="$2"
fail() { echo "check-run: $*" >&2; exit 1; }

version="$("$quillon" --version)" || fail "--version failed"
grep -Eq '^Quillon [0-9]+\.[0-9]+\.[0-9]+ \(' <<<"$version" || fail "--version printed '$version'"

export QUILLON_PAUSE_SCALE=0 QUILLON_INSTANCE_LOCK="$work/quillon.lock"
unset QUILLON_SIM_PROFILE
results="$work/out.csv"  # written as the relative out.csv from $work
rm -f "$results"  # a file left from an earlier check must not pass for this run's
status=0
output="$(cd "$work" && "$quillon" --console --sim --yes --save out.csv 2>&1)" || status=$?
[ "$status" -eq 0 ] || fail "the simulated run ended with code $status:
$output"
grep -q 'Verdict: Pass' <<<"$output" || fail "the simulated run did not pass:
$output"
lines="$(wc -l <"$results")"
[ "$lines" -eq 73 ] || fail "$results has $lines lines, not 73"
echo "check-run: $version; simulated run passed, $lines lines saved"
