#!/usr/bin/env bash
# Builds Quillon and runs it on the simulated test set. Extra arguments go to quillon, e.g.
#   scripts/run-sim.sh --console --yes
#   scripts/run-sim.sh --sim-profile failing-result.toml   (a name from sim/profiles)
# Without a display it runs on the terminal.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"

quillon_install_missing_packages
quillon_configure "$root" "$build"
cmake --build "$build" -j2 --target quillon quillon_sim_visa
exec "$build/bin/quillon" --sim "$@"
