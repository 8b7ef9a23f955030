#!/usr/bin/env bash
# Set-up for a fresh Debian 12 machine: installs what is missing, builds, then
#   ./setup.sh run    starts the editor
#   ./setup.sh test   runs all tests
#   ./setup.sh sanitize   builds and runs all tests with AddressSanitizer and UBSan (build-asan/)
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-run}
packages=(build-essential cmake qt6-base-dev qt6-serialport-dev qt6-translations-l10n libgl-dev
          libgtest-dev libbenchmark-dev clang socat xvfb xauth)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

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
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 exec ctest --output-on-failure -j "$jobs"
    ;;
*)
    echo "usage: $0 run|test|sanitize" >&2
    exit 2
    ;;
esac
