#!/usr/bin/env bash
# Builds the packages from BUILD (cpack -G DEB and TGZ), checks that the Debian package's
# Depends names Qt 6 and toml++, unpacks each into a temporary folder and runs its quillon there.
#   packaging/check-package.sh BUILD
set -euo pipefail

build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G "DEB;TGZ" -B "$work/package" >/dev/null)
deb="$(ls "$work"/package/quillon_*.deb)"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "check-package: $(basename "$deb") Depends: $depends"
for needed in libqt6core6 libqt6widgets6 libtomlplusplus3; do
    grep -q "$needed" <<<"$depends" || { echo "check-package: Depends lacks $needed" >&2; exit 1; }
done

dpkg-deb -x "$deb" "$work/root"
"$here/check-run.sh" "$work/root/usr/bin/quillon" "$work"

mkdir "$work/tgz"
tar -xzf "$(ls "$work"/package/quillon-*.tar.gz)" -C "$work/tgz"
"$here/check-run.sh" "$(ls "$work"/tgz/*/bin/quillon)" "$work"
