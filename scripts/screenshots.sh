#!/bin/bash
# Regenerates the pictures in docs/: the real mirelle.exe, under Wine on a
# virtual display: its main window (also at 150 % scaling), its Set Keys
# dialog with captured keys, the question that OK then asks about a function
# key, and its About dialog.
set -euo pipefail
. "$(dirname "$0")/common.sh"
mirelle_install_packages "${MIRELLE_BUILD_PACKAGES[@]}" "${MIRELLE_RUN_PACKAGES[@]}"
mirelle_build x64 screenshot_driver >/dev/null
build="$MIRELLE_ROOT/build/x64"
# A folder of its own (run.sh keeps its screenshot elsewhere), emptied here.
shots="$build/doc-pictures"
rm -rf "$shots"
mkdir -p "$shots" "$MIRELLE_ROOT/docs"
# A prefix of its own, so the pictures never show settings left by tests.
MIRELLE_ARCH=x64 MIRELLE_WINE_VARIANT=shots "$MIRELLE_ROOT/scripts/wine-run-x11" \
    "$build/tests/screenshot_driver.exe" --mirelle="$build/mirelle.exe" --out="$shots"
for name in main-window main-window-150 set-keys set-keys-question about; do
    convert "$shots/$name.bmp" -strip "$MIRELLE_ROOT/docs/$name.png"
    echo "docs/$name.png"
done
