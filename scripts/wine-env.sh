# Sourced by every script that runs Wine: the one place where the Wine
# settings are made.  The caller says which programs are to run:
#   MIRELLE_ARCH          x64 (the default) or x86
#   MIRELLE_BUILD         their build tree (default build/<arch> of the checkout)
#   MIRELLE_WINE_VARIANT  optional: a prefix of its own for one use (x11, run)
# The prefix is <build tree>/wineprefix, or wineprefix-<variant>; a WINEPREFIX
# that the caller sets is used as it is.  Sourced with the path of a program
# (". wine-env.sh program.exe"), the architecture is by default the program's
# own, from the machine field of its PE header.
if [ -z "${MIRELLE_ARCH:-}" ] && [ -f "${1:-}" ]; then
    mirelle_pe_header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    case "$(od -An -tx2 -j"$((mirelle_pe_header + 4))" -N2 "$1" | tr -d ' ')" in
        014c) MIRELLE_ARCH=x86 ;;
        8664) MIRELLE_ARCH=x64 ;;
    esac
fi
MIRELLE_ARCH=${MIRELLE_ARCH:-x64}
MIRELLE_BUILD=${MIRELLE_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/$MIRELLE_ARCH}
export MIRELLE_ARCH MIRELLE_BUILD
export WINEPREFIX="${WINEPREFIX:-$MIRELLE_BUILD/wineprefix${MIRELLE_WINE_VARIANT:+-$MIRELLE_WINE_VARIANT}}"
# 32-bit programs run in a 32-bit prefix, as on 32-bit Windows: their
# observer hooks in the tests then meet hooks of their own kind only.
case "$MIRELLE_ARCH" in
    x64) export WINEARCH=win64 ;;
    x86) export WINEARCH=win32 ;;
    *) echo "MIRELLE_ARCH must be x64 or x86, not '$MIRELLE_ARCH'" >&2; return 2 ;;
esac
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: their installers would ask to download, which cannot work here.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# What the prefix was made with: Wine's version and which of its loaders
# (32-bit, 64-bit) are installed.  A prefix made by another Wine may not start
# (installing the 32-bit Wine breaks prefixes made without it).
mirelle_wine_identity() {
    wine --version 2>/dev/null
    ls -d /usr/lib/wine/wine /usr/lib/wine/wine64 /usr/lib/*-linux-gnu/wine 2>/dev/null
}

# Whether a program of the prefix's own architecture starts in it.
mirelle_wine_prefix_starts() {
    wine wineboot --help >/dev/null 2>&1 9>&-
}

# Makes sure the prefix exists and starts: creates it on first use, and makes
# it anew when it was made by another Wine or no longer starts.  Several test
# processes may start at once, so this is serialised with a lock next to the
# prefix.  Wine's own processes (services, the desktop) outlive the commands
# that start them: none of them gets the lock's descriptor (9>&-), or the lock
# would stay taken until they end.
mirelle_wine_prefix_ready() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        stamp="$WINEPREFIX/.mirelle-ready"
        identity=$(mirelle_wine_identity)
        if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$identity" ] && mirelle_wine_prefix_starts; then
            exit 0
        fi
        if [ -e "$WINEPREFIX" ]; then
            echo "The Wine prefix $WINEPREFIX is unfinished, was made by another Wine or no longer starts: making it anew." >&2
            wineserver -k 2>/dev/null 9>&- || true
            rm -rf "$WINEPREFIX"
        fi
        wineboot -i >/dev/null 2>&1 9>&-
        # With no X display, fall back to Wine's null display driver:
        # windows, messages, hooks and input all work, nothing is drawn.
        wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d x11,null /f >/dev/null 2>&1 9>&-
        # On a virtual display no window manager runs: Wine then draws the
        # window frames itself and does not wait for a manager whenever a
        # window is hidden.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 9>&-
        # Debian's Wine does not find its own fonts (fonts-wine) by itself;
        # without Marlett the caption buttons show as letters.
        if [ -d /usr/share/wine/fonts ]; then
            cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        fi
        wineserver -w 9>&-
        if ! mirelle_wine_prefix_starts; then
            echo "Wine cannot start programs in the new prefix $WINEPREFIX; Wine says:" >&2
            wine wineboot --help 2>&1 >/dev/null 9>&- | head -n 20 >&2
            exit 1
        fi
        echo "$identity" >"$stamp"
    ) 9>"$WINEPREFIX.lock"
}
