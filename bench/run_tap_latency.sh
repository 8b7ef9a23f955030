#!/usr/bin/env bash
# Measures the tap latency through a sound server of its own: installs pulseaudio and parec when
# missing, then runs bench_tap_latency from the build folder (default build/). The benchmark starts
# the server in a runtime folder of its own and ends it; the timeout ends everything should it stick.
set -euo pipefail
build=${1:-build}
for p in pulseaudio pulseaudio-utils; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends pulseaudio pulseaudio-utils
        break
    fi
done
exec timeout --kill-after=5 120 "$build/bench/bench_tap_latency"
