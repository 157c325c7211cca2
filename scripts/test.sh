#!/bin/bash
# Installs what is missing, builds both architectures and runs every test
# (the 64-bit programs, under Wine).  Ends with CTest's summary.
set -euo pipefail
. "$(dirname "$0")/common.sh"
mirelle_install_packages "${MIRELLE_BUILD_PACKAGES[@]}" "${MIRELLE_RUN_PACKAGES[@]}"
mirelle_build x86
mirelle_build x64
unset DISPLAY
ctest --test-dir "$MIRELLE_ROOT/build/x64" --output-on-failure
