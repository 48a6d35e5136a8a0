#!/usr/bin/env bash
# Builds the Debian package from BUILD (cpack -G DEB), checks that its Depends names Qt 6 and
# toml++, unpacks it into a temporary folder and runs the unpacked quillon there.
#   packaging/check-package.sh BUILD
set -euo pipefail

build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
deb="$(ls "$work"/package/quillon_*.deb)"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "check-package: $(basename "$deb") Depends: $depends"
for needed in libqt6core6 libqt6widgets6 libtomlplusplus3; do
    grep -q "$needed" <<<"$depends" || { echo "check-package: Depends lacks $needed" >&2; exit 1; }
done

dpkg-deb -x "$deb" "$work/root"
"$here/check-run.sh" "$work/root/usr/bin/quillon" "$work"
