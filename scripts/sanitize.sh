#!/usr/bin/env bash
# Builds Quillon with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ and runs the
# unit, integration, windows (offscreen) and records tests under them (the integration tests
# start the instrumented quillon on the instrumented simulated library), and the PyVISA test
# with the runtime preloaded. Any finding fails its test: UBSan stops at the first report, ASan
# and LeakSanitizer end the process with an error. Leaks are suppressed only in the third-party
# libraries named in tests/sanitizers/lsan.supp. Then a strided fault sweep on the same build.
# Prints the build time and the test time.
#
# Usage: scripts/sanitize.sh [--build DIR]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-asan"
[ "${1:-}" != --build ] || build="$2"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
quillon_install_missing_packages

launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
started=$SECONDS
quillon_configure "$root" "$build" -DQUILLON_SANITIZE=ON -DQUILLON_WERROR=ON \
    -DQUILLON_BENCHMARKS=OFF "${launcher[@]}" > /dev/null
cmake --build "$build" -j2 --target quillon quillon_sim_visa quillon_unit_tests \
    quillon_integration_tests quillon_gui_tests quillon_records_tests
echo "sanitizer build: $((SECONDS - started)) s"

# exitcode=23 tells a sanitizer's exit from the program's own exit codes in a test's output.
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:exitcode=23"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=23"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
started=$SECONDS
cd "$build"
ctest --output-on-failure -j2 --no-tests=error \
    -L '^(quillon_(unit|integration|gui|records)_tests|sanitized_pyvisa)$'
echo "sanitizer tests: $((SECONDS - started)) s"

# The fault paths under the sanitizers: every 13th message of a one-band run with each fault
# (about a minute; coprime with the plain build's stride 10, so other messages are hit).
"$root/scripts/fault-sweep.sh" --build "$build" --stride 13
