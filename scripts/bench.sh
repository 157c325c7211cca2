#!/bin/bash
# Builds the 64-bit programs and runs the benchmarks under Wine.
set -euo pipefail
. "$(dirname "$0")/common.sh"
mirelle_install_packages "${MIRELLE_BUILD_PACKAGES[@]}" "${MIRELLE_RUN_PACKAGES[@]}"
mirelle_build x64 >/dev/null
unset DISPLAY
export WINEPREFIX="$MIRELLE_ROOT/build/x64/wineprefix"
"$MIRELLE_ROOT/scripts/wine-run" "$MIRELLE_ROOT/build/x64/bench/hook_benchmark.exe" "$@"
