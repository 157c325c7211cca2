#!/bin/bash
# Builds both architectures, runs the benchmarks under Wine (64-bit) and
# prints one Markdown table: the hook's overhead and the latency of a bound
# key, start-up time, memory and idle wake-ups of the real program next to a
# minimal dialog, and the program's size and imported DLLs.  Adds nothing to
# the tests.
#   scripts/bench.sh [--events=<n>] [--presses=<n>] [--pairs=<n>] [--idle-seconds=<n>] [--startup-steps]
# --idle-seconds is how long each idle count lasts (60; twice, one for each
# mode).  --startup-steps adds where Mirelle's start-up time and memory go,
# one step at a time (a few minutes more).
set -euo pipefail
. "$(dirname "$0")/common.sh"

events=20000
presses=1000
pairs=100
idle_seconds=60
startup_steps=no
for argument in "$@"; do
    case "$argument" in
        --events=*) events=${argument#*=} ;;
        --presses=*) presses=${argument#*=} ;;
        --pairs=*) pairs=${argument#*=} ;;
        --idle-seconds=*) idle_seconds=${argument#*=} ;;
        --startup-steps) startup_steps=yes ;;
        *) echo "usage: $0 [--events=<n>] [--presses=<n>] [--pairs=<n>] [--idle-seconds=<n>] [--startup-steps]" >&2
           exit 2 ;;
    esac
done

mirelle_install_packages "${MIRELLE_BUILD_PACKAGES[@]}" "${MIRELLE_RUN_PACKAGES[@]}"
for arch in x86 x64; do
    log="$MIRELLE_ROOT/build/bench-build-$arch.log"
    mkdir -p "$MIRELLE_ROOT/build"
    if ! mirelle_build "$arch" mirelle hook_benchmark startup_benchmark minimal_dialog raw_input_benchmark \
        idle_benchmark >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "The $arch build failed; the whole log is $log" >&2
        exit 1
    fi
done

x64="$MIRELLE_ROOT/build/x64"
x86="$MIRELLE_ROOT/build/x86"

unset DISPLAY
export MIRELLE_ARCH=x64 MIRELLE_BUILD="$x64"
# Every Wine process of the run, the wineserver included, runs on one CPU.
# On a virtual machine, waking a thread on another CPU that is idle goes
# through the hypervisor and takes tens of microseconds, and Wine's programs
# wake the wineserver and each other for every call they make: spread over
# the CPUs, the figures depended on what the rest of the machine happened to
# be doing (the start-up ratio moved from 1.13 to 1.27 between a busy and an
# idle machine).  On one CPU they are the work of the programs themselves.
pin=(taskset -c "$(($(nproc) - 1))")
# One persistent wineserver for the run, so that each process start measures
# the program and not the server's start; stopped again at the end, with
# every Wine process of the prefix.  A server already running may not be on
# that CPU: it is stopped first.
"$MIRELLE_ROOT/scripts/wine-server" down
"${pin[@]}" "$MIRELLE_ROOT/scripts/wine-server" up
trap '"$MIRELLE_ROOT/scripts/wine-server" down' EXIT

# run_bench [--x11] <program> <arguments...>: the program's table rows;
# anything else it prints means a failure, shown with its exit status.  With
# --x11 the program runs on a virtual X display of its own.  On the run's CPU.
run_bench() {
    local runner="$MIRELLE_ROOT/scripts/wine-run" output status=0
    if [ "$1" = --x11 ]; then
        runner="$MIRELLE_ROOT/scripts/wine-run-x11"
        shift
    fi
    output=$("${pin[@]}" "$runner" "$@" 2>&1) || status=$?
    if [ "$status" -ne 0 ] || grep -qv '^|' <<<"$output"; then
        echo "$(basename "$1") failed (exit status $status):" >&2
        echo "$output" >&2
        exit 1
    fi
    echo "$output"
}

hook_rows=$(run_bench "$x64/bench/hook_benchmark.exe" --events="$events" --presses="$presses" \
    --mirelle="$x64/mirelle.exe")
raw_input_rows=$(run_bench --x11 "$x64/bench/raw_input_benchmark.exe")
idle_rows=$(run_bench --x11 "$x64/bench/idle_benchmark.exe" --mirelle="$x64/mirelle.exe" \
    --minimal="$x64/bench/minimal_dialog.exe" --seconds="$idle_seconds")
steps=()
if [ "$startup_steps" = yes ]; then
    steps=(--steps)
fi
startup_rows=$(run_bench "$x64/bench/startup_benchmark.exe" --mirelle="$x64/mirelle.exe" \
    --minimal="$x64/bench/minimal_dialog.exe" --pairs="$pairs" "${steps[@]}")

kib() {
    local bytes
    bytes=$(stat -c %s "$1")
    awk -v b="$bytes" 'BEGIN { printf "%.1f KiB (%d bytes)", b / 1024, b }'
}

dlls() {
    x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ { print $3 }' | paste -sd, - | sed 's/,/, /g'
}

cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
cat <<EOF
| Figure | Mirelle | Reference | Comparison |
|---|---|---|---|
| Date | $(date -u '+%Y-%m-%d %H:%M UTC') | | |
| Machine | $(uname -m), ${cpu:-unknown CPU}, $(nproc) cores (the benchmarks on one of them), $(wine --version 2>/dev/null) | | |
$hook_rows
$raw_input_rows
$startup_rows
$idle_rows
| mirelle.exe file size, x64 | $(kib "$x64/mirelle.exe") | minimal_dialog.exe: $(kib "$x64/bench/minimal_dialog.exe") | |
| mirelle.exe file size, x86 | $(kib "$x86/mirelle.exe") | minimal_dialog.exe: $(kib "$x86/bench/minimal_dialog.exe") | |
| Imported DLLs of mirelle.exe, x64 | $(dlls "$x64/mirelle.exe") | minimal_dialog.exe: $(dlls "$x64/bench/minimal_dialog.exe") | |
| Imported DLLs of mirelle.exe, x86 | $(dlls "$x86/mirelle.exe") | minimal_dialog.exe: $(dlls "$x86/bench/minimal_dialog.exe") | |
EOF
