#!/usr/bin/env bash
# The manual page renders with man without a warning and names every option --help lists.
#   packaging/check-manual.sh QUILLON MANUAL_PAGE
set -euo pipefail

quillon="$1" page="$2"
errors="$(mktemp)"
trap 'rm -f "$errors"' EXIT

rendered="$(MANWIDTH=200 man --warnings -l "$page" 2>"$errors")"
if [ -s "$errors" ]; then
    echo "man reports problems in $page:" >&2
    cat "$errors" >&2
    exit 1
fi
options="$("$quillon" --help | grep -oE '^  (-[a-z], )?--[a-z-]+')"
[ -n "$options" ] || { echo "quillon --help lists no options" >&2; exit 1; }
status=0
while read -r option; do
    if ! grep -qF -- "$option" <<<"$rendered"; then
        echo "the manual page lacks $option" >&2
        status=1
    fi
done <<<"$options"
exit "$status"
