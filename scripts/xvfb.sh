# Sourced by the scripts that need an X display of their own.
#   mirelle_xvfb_start   starts Xvfb on a free display and exports DISPLAY;
#                        fails when the server dies before it takes clients
#   mirelle_xvfb_stop    ends that server
MIRELLE_XVFB_PID=
MIRELLE_XVFB_DISPLAY_FILE=

mirelle_xvfb_start() {
    MIRELLE_XVFB_DISPLAY_FILE=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$MIRELLE_XVFB_DISPLAY_FILE" </dev/null >/dev/null 2>&1 &
    MIRELLE_XVFB_PID=$!
    # Xvfb writes its display number once it accepts clients.
    local _
    for _ in $(seq 200); do
        if [ -s "$MIRELLE_XVFB_DISPLAY_FILE" ]; then
            export DISPLAY=":$(head -n1 "$MIRELLE_XVFB_DISPLAY_FILE")"
            return 0
        fi
        if ! kill -0 "$MIRELLE_XVFB_PID" 2>/dev/null; then
            echo "Xvfb did not start" >&2
            return 1
        fi
        sleep 0.05
    done
    echo "Xvfb did not take clients within 10 s" >&2
    return 1
}

mirelle_xvfb_stop() {
    if [ -n "$MIRELLE_XVFB_PID" ]; then
        kill "$MIRELLE_XVFB_PID" 2>/dev/null || true
        wait "$MIRELLE_XVFB_PID" 2>/dev/null || true
        MIRELLE_XVFB_PID=
    fi
    rm -f "$MIRELLE_XVFB_DISPLAY_FILE"
}
