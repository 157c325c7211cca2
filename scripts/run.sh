#!/bin/bash
# Installs what is missing, builds Mirelle and runs it under Wine.
# With an X display it simply runs the program.  Without one it starts a
# virtual display (Xvfb), saves a screenshot of the main window under the
# build tree, says where, and keeps the program running until Ctrl-C.
set -euo pipefail
. "$(dirname "$0")/common.sh"
mirelle_install_packages "${MIRELLE_BUILD_PACKAGES[@]}" "${MIRELLE_RUN_PACKAGES[@]}"
mirelle_build x64
exe="$MIRELLE_ROOT/build/x64/mirelle.exe"
export WINEPREFIX="$MIRELLE_ROOT/build/x64/wineprefix-run"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$MIRELLE_ROOT/scripts/wine-run" "$exe"
fi

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" </dev/null >/dev/null 2>&1 &
xvfb=$!
mirelle=
stop() {
    trap - INT TERM EXIT
    [ -n "$mirelle" ] && kill "$mirelle" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -f "$display_file"
}
trap stop EXIT
trap 'echo; echo "Stopping Mirelle."; exit 0' INT TERM
for _ in $(seq 200); do
    [ -s "$display_file" ] && break
    sleep 0.05
done
export DISPLAY=":$(head -n1 "$display_file")"
. "$MIRELLE_ROOT/scripts/wine-env.sh"
mirelle_wine_prefix_ready
wine "$exe" </dev/null >/dev/null 2>&1 &
mirelle=$!

window=
for _ in $(seq 300); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"Mirelle"/ {print $1; exit}')
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "Mirelle's window did not appear." >&2
    exit 1
fi
sleep 1  # let it finish painting
shot="$MIRELLE_ROOT/build/x64/screenshots/main-window.png"
mkdir -p "$(dirname "$shot")"
import -window "$window" "$shot"
echo "Mirelle is running on virtual display $DISPLAY (no X display here)."
echo "Screenshot of its main window: $shot"
echo "Press Ctrl-C to stop it."
wait "$mirelle" || true
