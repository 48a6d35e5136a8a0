#!/usr/bin/env bash
# Fault sweep: runs a one-band verification on the simulated test set once per fault point and
# checks that every run ends as the program promises. A fault point is a message number k of
# the fault-free run and one injected fault at that message: a time-out, a queued error, an I/O
# error, a garbage reply, a reply over 511 characters, a warning status on a write, or a test
# set that goes silent from there on (reply faults only at queries, where there is a reply).
#
# Each run must: end within the bound; not crash or report a sanitizer finding; exit with the
# code its printed verdict stands for (0 Pass, 1 Fail, 2 Fail after an instrument error, 3 a
# refusal before the test set was touched); write a complete, well-formed results file exactly
# when the run reached its end; and send the restoring correction state command whenever it
# switched correction off. Prints "fault sweep: X/Y points ended as specified", lists the
# points that did not, and exits 1 when there is one.
#
# Usage: scripts/fault-sweep.sh [--build DIR] [--stride N] [--jobs N] [--band BAND]
#                               [--bound SECONDS] [--faults LIST] [--keep DIR]
#   --build   build folder holding bin/quillon (default build/); a sanitizer build works too
#   --stride  every N-th message only (default 1: every message of the run)
#   --jobs    runs at a time (default 2)
#   --faults  comma-separated subset of: timeout,scpi_error,io_error,garbage,long_reply,
#             write_warning,silence (default all)
#   --keep    keep the folders of failing points here (default: a temporary folder, printed)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
stride=1
jobs=2
band=PGSM
bound=60
faults=timeout,scpi_error,io_error,garbage,long_reply,write_warning,silence
keep=""

usage() { sed -n '/^# Usage:/,/^[^#]/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 64; }
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build="$(cd "$2" && pwd)"; shift 2 ;;
        --stride) stride="$2"; shift 2 ;;
        --jobs) jobs="$2"; shift 2 ;;
        --band) band="$2"; shift 2 ;;
        --bound) bound="$2"; shift 2 ;;
        --faults) faults="$2"; shift 2 ;;
        --keep) keep="$2"; shift 2 ;;
        *) usage ;;
    esac
done
[[ "$stride" =~ ^[1-9][0-9]*$ && "$jobs" =~ ^[1-9][0-9]*$ && "$bound" =~ ^[1-9][0-9]*$ ]] || usage
quillon="$build/bin/quillon"
[ -x "$quillon" ] || { echo "fault-sweep: no $quillon (build first)" >&2; exit 64; }

work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-fault-sweep.XXXXXX")"
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
[ -n "$keep" ] || keep="$work/kept"
mkdir -p "$keep"

# A finding of either sanitizer ends the run with an error and its report on standard error.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export QUILLON_PAUSE_SCALE=0

# The test set alone on the bus, so that its k-th message is line k of the trace.
write_profile() {  # folder [action]
    {
        printf '[[instrument]]\nkind = "test_set"\nresource = "GPIB0::14::INSTR"\n'
        [ -z "${3:-}" ] || printf '\n[[instrument.fault]]\nany = true\nnth = %s\naction = "%s"\n' \
            "$2" "$3"
    } > "$1/profile.toml"
}

# One run in its own folder: exit code, standard output and error, trace, results file.
run_quillon() {  # folder
    local dir="$1" rc=0
    (cd "$dir" && QUILLON_SIM_PROFILE="$dir/profile.toml" QUILLON_SIM_TRACE="$dir/trace" \
        QUILLON_INSTANCE_LOCK="$dir/lock" timeout -k 5 "$bound" "$quillon" --console --sim \
        --yes --bands "$band" --save "$dir/results.csv" < /dev/null > "$dir/out" 2> "$dir/err") ||
        rc=$?
    touch "$dir/trace"
    echo "$rc"
}

reference="$work/reference"
mkdir -p "$reference"
write_profile "$reference"
rc="$(run_quillon "$reference")"
if [ "$rc" != 0 ] || ! grep -q '^Verdict: Pass$' "$reference/out"; then
    echo "fault-sweep: the fault-free run did not pass (exit $rc); see $reference" >&2
    trap - EXIT
    exit 1
fi
messages="$(wc -l < "$reference/trace")"
rows="$(wc -l < "$reference/results.csv")"
header="$(head -n 1 "$reference/results.csv" | tr -d '\r')"
export quillon band bound keep messages rows header
export -f write_profile run_quillon

# The checks of one point; prints "ok" or the first thing that went wrong.
judge() {  # folder k action exit-code
    local dir="$1" k="$2" rc="$4" verdict=""
    if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then echo "did not end within ${bound} s"; return; fi
    if grep -Eq 'Sanitizer|runtime error:' "$dir/err"; then
        echo "sanitizer report: $(grep -Em1 'Sanitizer|runtime error:' "$dir/err")"; return
    fi
    if [ "$rc" -ge 128 ]; then echo "killed by signal $((rc - 128))"; return; fi
    verdict="$(sed -n 's/^Verdict: //p' "$dir/out")"
    local stopped=0
    grep -q '^Quillon: Error running tests' "$dir/out" && stopped=1
    case "$rc:$verdict:$stopped" in
        0:Pass:0 | 1:Fail:0 | 2:Fail:1 | 3::0) ;;
        *) echo "exit $rc does not match the verdict '$verdict' (run error shown: $stopped)"
           return ;;
    esac
    local switched_off=0
    grep -q '^W SYSTem:CORRection:STATe 0$' "$dir/trace" && switched_off=1
    if [ "$rc" = 3 ]; then
        [ "$switched_off" = 0 ] || { echo "refused after switching correction off"; return; }
        [ ! -e "$dir/results.csv" ] || { echo "refused but wrote a results file"; return; }
        echo ok
        return
    fi
    # The restore is the last correction state command. It writes back the state read, 1,
    # unless the fault spoilt that query: then what the program made of the reply, or 0.
    local restore query expected='W SYSTem:CORRection:STATe  1'
    restore="$(grep '^W SYSTem:CORRection:STATe' "$dir/trace" | tail -n 1)"
    query="$(grep -n -m1 '^Q SYSTem:CORRection:STATE?$' "$dir/trace" | cut -d: -f1)"
    if [ "$k" = "${query:-0}" ] || { [ "$3" = silence ] && [ "$k" -le "${query:-0}" ]; }; then
        expected='W SYSTem:CORRection:STATe  [01]'
    fi
    if ! [[ "$restore" =~ ^${expected}$ ]]; then
        echo "correction state not restored (last: '${restore}')"; return
    fi
    judge_results "$dir/results.csv" "$rc" "$verdict"
}

# A results file is complete and well-formed: the header, the information row ending with the
# verdict, then rows of eight cells each ending Pass or Fail; every row of the band unless an
# instrument error stopped the run; every line ended with CR LF.
judge_results() {  # file exit-code verdict
    local raw="$1" rc="$2" verdict="$3" file="$1.lf"
    [ -s "$raw" ] || { echo "no results file"; return; }
    [ "$(tail -c 2 "$raw" | od -An -c | tr -d ' ')" = '\r\n' ] || {
        echo "results file ends mid-line"; return; }
    [ "$(grep -c $'\r$' "$raw")" = "$(wc -l < "$raw")" ] || {
        echo "results file has a line not ended with CR LF"; return; }
    tr -d '\r' < "$raw" > "$file"
    [ "$(head -n 1 "$file")" = "$header" ] || { echo "results file header differs"; return; }
    sed -n 2p "$file" | grep -q ", ${verdict}\$" || {
        echo "information row does not end with ${verdict}"; return; }
    local bad
    bad="$(tail -n +3 "$file" | awk -F', ' 'NF != 8 || ($8 != "Pass" && $8 != "Fail" &&
        $0 != ", , , , , , , ") { print NR + 2; exit }')"
    [ -z "$bad" ] || { echo "results file line $bad is malformed"; return; }
    local count
    count="$(wc -l < "$file")"
    if [ "$rc" != 2 ] && [ "$count" != "$rows" ]; then
        echo "results file has $count lines, the complete run $rows"; return
    fi
    [ "$count" -le "$rows" ] || { echo "results file has more lines than a complete run"; return; }
    if [ "$rc" = 1 ] && ! grep -q ', Fail$' <(tail -n +3 "$file"); then
        echo "exit 1 without a Fail row"; return
    fi
    echo ok
}
export -f judge judge_results

point() {  # k action
    local k="$1" action="$2" dir rc outcome
    dir="$(mktemp -d "$keep/point-$k-$action.XXXX")"
    write_profile "$dir" "$k" "$action"
    rc="$(run_quillon "$dir")"
    outcome="$(judge "$dir" "$k" "$action" "$rc")"
    if [ "$outcome" = ok ]; then
        rm -rf "$dir"
        echo "ok $k $action"
    else
        echo "FAIL message $k ($(sed -n "${k}p" "$work/reference/trace")) $action: $outcome [$dir]"
    fi
}
export work
export -f point

IFS=, read -r -a chosen <<< "$faults"
for action in "${chosen[@]}"; do
    case "$action" in
        timeout | scpi_error | io_error | garbage | long_reply | write_warning | silence) ;;
        *) echo "fault-sweep: unknown fault '$action'" >&2; exit 64 ;;
    esac
done
mapfile -t kinds < <(cut -c1 "$reference/trace")
for ((k = 1; k <= messages; k += stride)); do
    for action in "${chosen[@]}"; do
        case "$action" in garbage | long_reply) [ "${kinds[k - 1]}" = Q ] || continue ;; esac
        echo "$k $action"
    done
done > "$work/points"

start=$SECONDS
xargs -P "$jobs" -L 1 bash -c 'point "$0" "$1"' < "$work/points" > "$work/outcomes"
total="$(wc -l < "$work/points")"
passed="$(grep -c '^ok ' "$work/outcomes" || true)"
grep '^FAIL ' "$work/outcomes" | sort -t' ' -k3,3n || true
echo "fault sweep: $passed/$total points ended as specified ($messages messages, stride $stride," \
     "$((SECONDS - start)) s)"
if [ "$passed" != "$total" ]; then
    [ "$keep" != "$work/kept" ] || { trap - EXIT; echo "failing runs kept in $keep" >&2; }
    exit 1
fi
