#!/bin/bash
# Installs what is missing, builds both architectures and runs every test of
# each under Wine: the 64-bit programs in a 64-bit prefix, the 32-bit ones in
# a 32-bit prefix.  Ends with each architecture's CTest summary and fails when
# either has a failing test.
set -euo pipefail
. "$(dirname "$0")/common.sh"
mirelle_install_packages "${MIRELLE_BUILD_PACKAGES[@]}" "${MIRELLE_RUN_PACKAGES[@]}"
unset DISPLAY
status=0
for arch in x64 x86; do
    mirelle_build "$arch"
    echo "== Tests, $arch"
    ctest --test-dir "$MIRELLE_ROOT/build/$arch" --output-on-failure 2>&1 | tee "$MIRELLE_ROOT/build/$arch/ctest.log" \
        || status=1
done
for arch in x64 x86; do
    echo "== $arch: $(grep -E 'tests passed|tests failed' "$MIRELLE_ROOT/build/$arch/ctest.log" | tail -n 1)"
    grep -E '^Total Test time' "$MIRELLE_ROOT/build/$arch/ctest.log" | sed 's/^/   /' || true
    sed -n '/^The following tests FAILED:/,$p' "$MIRELLE_ROOT/build/$arch/ctest.log" | grep -v '^Errors while running' || true
done
exit $status
