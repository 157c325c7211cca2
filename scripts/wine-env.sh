# Sourced by the Wine wrappers: quiet, self-contained Wine settings.
# WINEPREFIX comes from the caller (CTest passes one inside the build tree);
# without one, a prefix under build/ of the checkout is used.
: "${WINEPREFIX:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wineprefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: their installers would ask to download, which cannot work here.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64

# Creates the prefix on first use.  Several test processes may start at once,
# so creation is serialised with a lock next to the prefix.
mirelle_wine_prefix_ready() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.mirelle-ready" ]; then
            wineboot -i >/dev/null 2>&1
            # With no X display, fall back to Wine's null display driver:
            # windows, messages, hooks and input all work, nothing is drawn.
            wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d x11,null /f >/dev/null 2>&1
            # On a virtual display no window manager runs: Wine then draws the
            # window frames itself and does not wait for a manager whenever a
            # window is hidden.
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
            # Debian's Wine does not find its own fonts (fonts-wine) by
            # itself; without Marlett the caption buttons show as letters.
            if [ -d /usr/share/wine/fonts ]; then
                cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
            fi
            wineserver -w
            touch "$WINEPREFIX/.mirelle-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
}
