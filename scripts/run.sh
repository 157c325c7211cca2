#!/bin/bash
# Installs what is missing, builds Mirelle and runs it under Wine.
set -euo pipefail
. "$(dirname "$0")/common.sh"
mirelle_install_packages "${MIRELLE_BUILD_PACKAGES[@]}" "${MIRELLE_RUN_PACKAGES[@]}"
mirelle_build x64
exe="$MIRELLE_ROOT/build/x64/mirelle.exe"
if [ ! -f "$exe" ]; then
    echo "Built the libraries, tests and benchmarks; mirelle.exe itself does not exist yet."
    exit 0
fi
export WINEPREFIX="$MIRELLE_ROOT/build/x64/wineprefix-run"
exec "$MIRELLE_ROOT/scripts/wine-run" "$exe"
