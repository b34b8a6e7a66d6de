#!/usr/bin/env bash
# Builds the demo and runs every test: unit and headless picture tests, benchmarks' smoke runs
# and the end-to-end runs of the real programs, the browser build's in headless Chromium.
# Installs what is missing, starts a virtual display (Xvfb, 1280x720) and a PulseAudio server
# with a null sink for the end-to-end tests, and stops them again.
# Usage: scripts/test.sh [extra ctest arguments]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/lib.sh

install_missing scripts/{build,play,package,web,test}-packages.txt
[ -f scripts/ensure-wine.sh ] && bash scripts/ensure-wine.sh

build="$root/build"
# Release with warnings as errors: the flags most users and packagers build with, held clean.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDEMO_WERROR=ON >/dev/null
ninja -C "$build"
# The browser build, for the tests in headless Chromium (tests/e2e/web/).
scripts/web.sh --no-serve
export DEMO_WEB_BUILD="$root/build-web"

work=$(mktemp -d /tmp/demo-test.XXXXXX)
cleanup() {
    stop_servers
    rm -rf "$work"
}
trap cleanup EXIT
start_servers "$work"

ctest --test-dir "$build" --output-on-failure -j2 "$@"
