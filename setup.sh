#!/usr/bin/env bash
# Set-up for a fresh Debian 12 machine: installs what is missing, builds, then
#   ./setup.sh run    starts the editor
#   ./setup.sh test   runs all tests
#   ./setup.sh sanitize   builds and runs all tests with AddressSanitizer and UBSan (build-asan/)
#   ./setup.sh fuzz [seconds]   builds the libFuzzer targets with clang and runs each (default 30 s)
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-run}
# What the editor needs to build and run.
editor_packages=(build-essential cmake qt6-base-dev qt6-serialport-dev qt6-multimedia-dev qt6-translations-l10n
                 libgl-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good libgtest-dev libbenchmark-dev clang)
# What only the tests use: sound files, the pseudo-terminals, a display, PDF text.
test_packages=(sox libsox-fmt-base lame socat xvfb xauth poppler-utils)
# A real spreadsheet for the CSV tests, without the office suite its recommendations would bring; a sound
# server of its own and its recorder for the tap latency benchmark, without a desktop session.
test_lean_packages=(libreoffice-calc pulseaudio pulseaudio-utils)

missing() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
    done
}
# install [--no-install-recommends] PACKAGE...
install() {
    local lean=()
    if [ "${1:-}" = --no-install-recommends ]; then
        lean=(--no-install-recommends)
        shift
    fi
    [ $# -gt 0 ] || return 0
    echo "Installing: $*"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    if [ -z "${updated:-}" ]; then
        $sudo apt-get update -qq
        updated=1
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${lean[@]}" "$@"
}

mapfile -t needed < <(missing "${editor_packages[@]}")
install "${needed[@]}"
case "$mode" in
test | sanitize)
    mapfile -t needed < <(missing "${test_packages[@]}")
    install "${needed[@]}"
    mapfile -t needed < <(missing "${test_lean_packages[@]}")
    install --no-install-recommends "${needed[@]}"
    ;;
esac

jobs=$(nproc)
build() {
    local dir=$1; shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > /dev/null
    cmake --build "$dir" -j "$jobs"
}

case "$mode" in
run)
    build build
    exec ./build/kelto
    ;;
test)
    build build
    cd build
    exec ctest --output-on-failure -j "$jobs"
    ;;
sanitize)
    build build-asan -DKELTO_SANITIZE=ON -DKELTO_BENCHMARKS=OFF
    cd build-asan
    # The media stack's PulseAudio client keeps its context to the end: tests/lsan.supp.
    LSAN_OPTIONS=suppressions=$PWD/../tests/lsan.supp ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        exec ctest --output-on-failure -j "$jobs"
    ;;
fuzz)
    seconds=${2:-30}
    CXX=clang++ build build-fuzz -DKELTO_FUZZ=ON -DBUILD_TESTING=OFF -DKELTO_BENCHMARKS=OFF
    shopt -s nullglob
    for target in build-fuzz/tests/fuzz/fuzz_*; do
        [ -f "$target" ] && [ -x "$target" ] || continue
        name=$(basename "$target")
        seeds=tests/fuzz/corpus/$name
        mkdir -p "$seeds"
        found=$(mktemp -d)
        # New inputs go to a scratch folder; the kept corpus is only read.
        log="$found.log"
        if ! "$target" -max_total_time="$seconds" -print_final_stats=1 "$found" "$seeds" > "$log" 2>&1; then
            tail -n 40 "$log"
            echo "$name: FINDING (see above)"
            exit 1
        fi
        grep -E "^stat::(number_of_executed_units|new_units_added)" "$log" | sed "s/^/$name: /"
        rm -rf "$found" "$log"
        echo "$name: no finding in $seconds s"
    done
    ;;
*)
    echo "usage: $0 run|test|sanitize|fuzz" >&2
    exit 2
    ;;
esac
