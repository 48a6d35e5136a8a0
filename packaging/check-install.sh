#!/usr/bin/env bash
# The installed tree works and is valid: `cmake --install BUILD` into a temporary prefix, then
# the desktop entry, AppStream metadata and manual page pass their validators, and the installed
# quillon runs a whole simulated run, also after the tree was moved elsewhere.
#   packaging/check-install.sh BUILD
set -euo pipefail

build="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/q" >/dev/null
share="$work/q/share"
desktop-file-validate "$share/applications/org.quillon.Quillon.desktop"
appstreamcli validate --no-net --explain "$share/metainfo/org.quillon.Quillon.metainfo.xml" >/dev/null ||
    appstreamcli validate --no-net --explain "$share/metainfo/org.quillon.Quillon.metainfo.xml"
[ -s "$share/icons/hicolor/scalable/apps/org.quillon.Quillon.svg" ]
"$here/check-manual.sh" "$work/q/bin/quillon" "$(ls "$share"/man/man1/quillon.1*)"

mv "$work/q" "$work/moved"
"$here/check-run.sh" "$work/moved/bin/quillon" "$work"
