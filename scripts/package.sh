#!/bin/bash
# Builds both architectures from scratch and packs each into a zip in dist/:
#   dist/mirelle-<version>-win64.zip and dist/mirelle-<version>-win32.zip
# (the version is project()'s in CMakeLists.txt, read from the build tree)
# with the program, a plain-text user guide (README.txt, made from the user
# part of README.md) and the licence.  Nothing in them depends on
# when or where they were built: the program has no link timestamp and the
# archive entries carry a fixed date, order and no extra attributes, so two
# runs give the same bytes.
set -euo pipefail
. "$(dirname "$0")/common.sh"
mirelle_install_packages "${MIRELLE_BUILD_PACKAGES[@]}" zip
dist="$MIRELLE_ROOT/dist"
mkdir -p "$dist"

package() {
    local arch=$1 toolchain=$2 suffix=$3
    local build="$MIRELLE_ROOT/build/package-$arch"
    rm -rf "$build"
    cmake -S "$MIRELLE_ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$MIRELLE_ROOT/cmake/$toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    local version
    version=$(sed -n 's/^#define MIRELLE_VERSION_TEXT *"\(.*\)"/\1/p' "$build/generated/mirelle_version.h")
    local stage="$build/stage/mirelle-$version"
    cmake --build "$build" -j "$(nproc)" --target mirelle >/dev/null
    mkdir -p "$stage"
    cp "$build/mirelle.exe" "$stage/mirelle.exe"
    # Notepad before Windows 10 wants CRLF line ends.
    awk -v version="$version" -f "$MIRELLE_ROOT/scripts/user-guide.awk" "$MIRELLE_ROOT/README.md" | cat -s \
        | sed 's/$/\r/' >"$stage/README.txt"
    if [ "$(grep -c . "$stage/README.txt")" -lt 20 ]; then
        echo "README.md has lost its user guide's marks: README.txt would be empty" >&2
        exit 1
    fi
    # The guide travels alone: it must not send the reader to pictures,
    # sources or scripts that the zip does not hold.
    if grep -nE '\.(png|md|sh|cpp|h)\b|docs/|scripts/|build/' "$stage/README.txt" >&2; then
        echo "README.txt points at files the zip does not hold (lines above)" >&2
        exit 1
    fi
    cp "$MIRELLE_ROOT/LICENSE.txt" "$stage/LICENSE.txt"
    chmod 644 "$stage"/*
    touch -h -d "2026-12-07 00:00:00 UTC" "$stage" "$stage"/*
    local zip="$dist/mirelle-$version-$suffix.zip"
    rm -f "$zip"
    (cd "$build/stage" && TZ=UTC zip -X -D -q -9 "$zip" \
        "mirelle-$version/mirelle.exe" "mirelle-$version/README.txt" "mirelle-$version/LICENSE.txt")
    echo "$(sha256sum "$zip" | cut -c1-16)  ${zip#$MIRELLE_ROOT/}"
}

package x64 mingw-w64-x86_64 win64
package x86 mingw-w64-i686 win32
