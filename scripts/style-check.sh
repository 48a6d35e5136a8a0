#!/usr/bin/env bash
# Fails on a formatting finding in any C++ source or a clang-tidy finding in the core.
# Usage: scripts/style-check.sh [BUILD_DIR]   (BUILD_DIR holds compile_commands.json; default build)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
cd "$root"

for tool in clang-format clang-tidy run-clang-tidy; do
    if ! command -v "$tool" >/dev/null; then
        echo "style-check: $tool is missing (apt-get install clang-format clang-tidy)" >&2
        exit 1
    fi
done

git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

if [[ ! -f "$build/compile_commands.json" ]]; then
    echo "style-check: no $build/compile_commands.json (configure the build first)" >&2
    exit 1
fi
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
# run-clang-tidy's own exit status does not count warnings, so the log decides.
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "$root/src/(instrument|measurements|testrun)/" \
    >"$log" 2>&1 || true
if grep -E '(warning|error): ' "$log"; then
    echo "style-check: clang-tidy findings in the core (above)" >&2
    exit 1
fi
echo "style-check: formatting and clang-tidy clean"
