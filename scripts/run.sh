#!/bin/bash
# Installs what is missing, builds Mirelle (the program only) and runs it
# under Wine.  With an X display it simply runs the program.  Without one it
# starts a virtual display (Xvfb), saves a screenshot of the main window under
# the build tree, says where, and keeps the program running until Ctrl-C.
set -euo pipefail
. "$(dirname "$0")/common.sh"
mirelle_install_packages "${MIRELLE_BUILD_PACKAGES[@]}" "${MIRELLE_RUN_PACKAGES[@]}"
mirelle_build x64 mirelle
exe="$MIRELLE_ROOT/build/x64/mirelle.exe"
export MIRELLE_ARCH=x64 MIRELLE_WINE_VARIANT=run
. "$MIRELLE_ROOT/scripts/wine-env.sh"
. "$MIRELLE_ROOT/scripts/xvfb.sh"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$MIRELLE_ROOT/scripts/wine-run" "$exe"
fi

log="$MIRELLE_BUILD/mirelle-run.log"
mirelle=
stop() {
    trap - INT TERM EXIT
    if [ -n "$mirelle" ]; then
        kill "$mirelle" 2>/dev/null || true
    fi
    wineserver -k 2>/dev/null || true
    mirelle_xvfb_stop
}
trap stop EXIT
trap 'echo; echo "Stopping Mirelle."; exit 0' INT TERM
mirelle_xvfb_start
mirelle_wine_prefix_ready
wine "$exe" </dev/null >"$log" 2>&1 &
mirelle=$!

# The window, or the end of the program, whichever comes first.
window=
for _ in $(seq 300); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"Mirelle"/ {print $1; exit}')
    if [ -n "$window" ] || ! kill -0 "$mirelle" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "Mirelle's window did not appear.  What Wine wrote ($log):" >&2
    tail -n 40 "$log" >&2
    exit 1
fi
sleep 1  # let it finish painting
shot="$MIRELLE_BUILD/run/main-window.png"
mkdir -p "$(dirname "$shot")"
import -window "$window" "$shot"
echo "Mirelle is running on virtual display $DISPLAY (no X display here)."
echo "Screenshot of its main window: $shot"
echo "Press Ctrl-C to stop it."
wait "$mirelle" || true
