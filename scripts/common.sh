# Shared by the README's commands: package installation and the cross builds.
MIRELLE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the Debian packages that are missing, and only those.  Packages
# of the i386 architecture (the 32-bit Wine) are meant for amd64 machines:
# there the architecture is added first if dpkg lacks it; elsewhere they are
# left out.
mirelle_install_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if [ "${package%:i386}" != "$package" ] && [ "$(dpkg --print-architecture)" != amd64 ]; then
            continue
        fi
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=
    if [ "$(id -u)" -ne 0 ]; then
        sudo=sudo
    fi
    if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    # Also brings the lists of a newly added architecture.
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

MIRELLE_BUILD_PACKAGES=(cmake make g++-mingw-w64-x86-64 g++-mingw-w64-i686 googletest)
# The 32-bit Wine runs the x86 tests.  Every script installs the same Wine, as
# a prefix made before a change of the installed Wine has to be made anew.
# xdotool types real X keys for the tests that need raw input.
MIRELLE_RUN_PACKAGES=(wine wine64 wine32:i386 fonts-wine xvfb x11-utils xdotool imagemagick)

# mirelle_build <x64|x86> [targets...]: configures one architecture and
# builds everything, or only the given targets.
mirelle_build() {
    local arch=$1 toolchain
    local targets=()
    if [ $# -gt 1 ]; then
        targets=(--target "${@:2}")
    fi
    case "$arch" in
        x64) toolchain=mingw-w64-x86_64 ;;
        x86) toolchain=mingw-w64-i686 ;;
    esac
    cmake -S "$MIRELLE_ROOT" -B "$MIRELLE_ROOT/build/$arch" \
        -DCMAKE_TOOLCHAIN_FILE="$MIRELLE_ROOT/cmake/$toolchain.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$MIRELLE_ROOT/build/$arch" -j "$(nproc)" "${targets[@]}"
}
