#!/usr/bin/env bash
# Mutation check: applies each deliberate fault below, one at a time, to a scratch copy of the
# committed tree (a temporary git worktree), rebuilds it and runs the whole test suite. A fault
# is "caught" when the suite fails; "SURVIVED" when it passes; "not applied" when its snippet is
# no longer found exactly once (the code moved: update the list) or the faulty code does not
# build. Prints one line per fault and a summary; exits 0 only when every fault was caught.
#
# Usage: scripts/mutants.sh [--list] [NAME_PART...]
#   --list        print the faults and stop
#   NAME_PART     run only the faults whose name contains one of these
# Long: a rebuild and a suite run per fault (10 minutes on two cores when ccache serves the
# unchanged files: put TMPDIR under ccache's base_dir). Not run in CI.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Each fault: its name, then indented the file, "- " the exact snippet and "+ " what it becomes
# (nothing: the snippet is removed). Snippets are matched literally and must occur exactly once
# in their file; "\n" in them stands for a line break.
faults() {
    cat <<'EOF'
restore-not-called
    src/app/modMain.cpp
    - objects.testForm->tidyUp();
    +

no-reset-at-start
    src/testrun/run_driver.cpp
    - visa_.sendInstrument(vi(), "*rst");
    +

source2-power-against-source1-reference
    src/testrun/run_measurements.cpp
    - initMeas(kSource2Configs, l.src2MainPower
    + initMeas(kSource2Configs, l.src1MainPower

source2-pfer-rows-from-source1
    src/testrun/results_report.cpp
    - rows.pfer("2", T::kSrc2Pfer, *m.src2Pfer)
    + rows.pfer("2", T::kSrc2Pfer, *m.src1Pfer)

later-step-overwrites-error-flag
    src/testrun/run_driver.cpp
    - if (!runFailed) {\n            runFailed = sourceLevels_->measureSource2CWPower
    + {\n            runFailed = sourceLevels_->measureSource2CWPower

failed-query-hands-back-text
    src/instrument/visa_api.cpp
    - reply.front() = '\0';\n        return status;
    + return status;

failing-find-list-searched-forever
    src/instrument/clsVisa.cpp
    - if (status < 0 && status != kViErrorRsrcNotFound) {\n            break;\n        }
    +

no-pause-after-store
    src/testrun/calibration_check.cpp
    - ui_.pause(kAfterStorePause);
    +

attenuation-timeout-ignored
    src/testrun/source_levels.cpp
    - errorOccurred = visa_.queryInstrument(session, kAttenuationQuery, reply);
    + visa_.queryInstrument(session, kAttenuationQuery, reply);

entry-catches-one-kind
    src/app/modMain.cpp
    - catch (const std::exception& error)
    + catch (const std::runtime_error& error)

no-pause-after-configuration
    src/testrun/run_driver.cpp
    - ui_.pause(kConfigSettle);
    +

configuration-pause-only-without-error
    src/testrun/run_driver.cpp
    - ui_.pause(kConfigSettle);
    + if (!runFailed) ui_.pause(kConfigSettle);

no-source2-settle-pause
    src/testrun/source_levels.cpp
    - ui_.pause(kSource2Settle);
    +

no-pause-after-calibration-writes
    src/testrun/calibration_check.cpp
    - ui_.pause(kAfterWritePause);
    +

failures-not-counted
    src/testrun/results_report.cpp
    - ++failCount_;
    +

verdict-ignores-failed-results
    src/testrun/run_driver.cpp
    - report_.showVerdict(!runFailed && report_.failCount() == 0);
    + report_.showVerdict(!runFailed);

wrong-icon-on-run-error
    src/testrun/run_driver.cpp
    - kRunErrorText, MessageIcon::Critical
    + kRunErrorText, MessageIcon::Exclamation

sequence-goes-on-after-failure
    src/testrun/sequences.cpp
    - if (errorOccurred || !options_.getTest(step.test))
    + if (!options_.getTest(step.test))

chain-goes-on-after-failure
    src/instrument/clsVisa.cpp
    - return errorOccurred || !sendChecked(vi, command).ok();
    + return (errorOccurred && false) || !sendChecked(vi, command).ok();

negative-queued-errors-ignored
    src/instrument/clsVisa.cpp
    - readLeadingNumber(reply.substr(0, comma)) != 0.0
    + readLeadingNumber(reply.substr(0, comma)) > 0.0

calibration-code-letters-swapped
    src/testrun/calibration_check.cpp
    - tables_.delaySettingBuiltIn ? 'H' : 'D'
    + tables_.delaySettingBuiltIn ? 'D' : 'H'

calibration-written-only-when-both-differ
    src/testrun/calibration_check.cpp
    - if (outcome.settingDiffers)
    + if (outcome.settingDiffers && outcome.dataDiffers)

correction-state-not-saved
    src/testrun/preparation.cpp
    - savedCorrectionState_ = instrument::roundToInt16(instrument::readLeadingNumber(reply));
    +

last-band-skipped
    src/testrun/run_driver.cpp
    - band < kBands.size();
    + band + 1 < kBands.size();

offset1-level-not-kept
    src/testrun/source_levels.cpp
    - *previousLevel = level;
    +

source2-arrangement-on-source1-channel
    src/testrun/loopback.cpp
    - std::to_string(band.secondArfcn)
    + std::to_string(band.arfcn)

source1-retries-bad-integrity
    src/measurements/measurement_common.h
    - source == 1 && integrity == kRetryIntegrity
    + source >= 0 && integrity == kRetryIntegrity
EOF
}

# The fault list as tab-separated lines: name, file, snippet, replacement.
faultTable() {
    faults | /usr/bin/python3 -c '
import sys
block = []
def emit():
    if block:
        name, path, minus = block[0], block[1], block[2]
        plus = block[3] if len(block) > 3 else "+"
        print("\t".join([name, path, minus[2:], plus[2:]]))
for line in sys.stdin.read().split("\n") + [""]:
    if not line.strip():
        emit(); block = []
    else:
        block.append(line.strip() if not line.strip().startswith(("-", "+")) else line.strip() + " ")
'
}

if [[ "${1:-}" == "--list" ]]; then
    faultTable | cut -f1,2
    exit 0
fi
filters=("$@")

scratch="$(mktemp -d "${TMPDIR:-/tmp}/quillon-mutants.XXXXXX")"
cleanup() {
    git -C "$root" worktree remove --force "$scratch/tree" >/dev/null 2>&1 || true
    rm -rf "$scratch"
}
trap cleanup EXIT

git -C "$root" worktree add --detach --quiet "$scratch/tree" HEAD
tree="$scratch/tree"
# The build folder sits inside the tree, where every worktree keeps its own, so that ccache
# (with base_dir above them) serves the unchanged files from earlier builds.
build="$tree/build"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
echo "mutants: building the unchanged tree in $build"
cmake -S "$tree" -B "$build" -G Ninja -DQUILLON_WERROR=ON -DQUILLON_BENCHMARKS=OFF \
    "${launcher[@]}" >"$scratch/configure.log" 2>&1
suite() {
    cmake --build "$build" -j2 >"$scratch/build.log" 2>&1 || return 2
    (cd "$build" && QUILLON_PAUSE_SCALE=0 ctest -j2 --timeout 300 --stop-on-failure \
        >"$scratch/test.log" 2>&1) || return 1
    return 0
}
if ! suite; then
    echo "mutants: the unchanged tree does not build or pass its tests; see $scratch" >&2
    trap - EXIT
    exit 1
fi

caught=0 survived=0 notApplied=0 total=0
while IFS=$'\t' read -r name file snippet replacement; do
    snippet="${snippet% }" replacement="${replacement% }"
    if ((${#filters[@]})); then
        match=0
        for f in "${filters[@]}"; do [[ "$name" == *"$f"* ]] && match=1; done
        ((match)) || continue
    fi
    total=$((total + 1))
    applied="$(/usr/bin/python3 - "$tree/$file" "$snippet" "$replacement" <<'PY'
import sys
path, snippet, replacement = sys.argv[1:4]
snippet = snippet.replace("\\n", "\n")
replacement = replacement.replace("\\n", "\n")
try:
    text = open(path, encoding="utf-8").read()
except OSError:
    print("missing"); sys.exit()
if text.count(snippet) != 1:
    print("found %d times" % text.count(snippet)); sys.exit()
open(path, "w", encoding="utf-8").write(text.replace(snippet, replacement))
print("ok")
PY
)"
    if [[ "$applied" != ok ]]; then
        printf '%-45s not applied (%s in %s)\n' "$name" "$applied" "$file"
        notApplied=$((notApplied + 1))
        continue
    fi
    status=0
    suite || status=$?
    git -C "$tree" checkout --quiet -- "$file"
    case $status in
        1) printf '%-45s caught\n' "$name"; caught=$((caught + 1)) ;;
        0) printf '%-45s SURVIVED\n' "$name"; survived=$((survived + 1)) ;;
        *) printf '%-45s not applied (does not build)\n' "$name"; notApplied=$((notApplied + 1)) ;;
    esac
done < <(faultTable)

# Leave the scratch build matching the tree again.
cmake --build "$build" -j2 >/dev/null 2>&1 || true
echo "mutants: $caught of $total caught, $survived survived, $notApplied not applied"
[[ $caught -eq $total ]]
