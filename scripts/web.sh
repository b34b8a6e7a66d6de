#!/usr/bin/env bash
# Builds the demo for the browser and serves it: installs what is missing (emscripten,
# node-acorn ...), builds build-web/ (index.html, page.js, demo.js, demo.wasm, sound.wasm and the
# worklet script), then serves that folder on 127.0.0.1 and prints the URL.
# Usage: scripts/web.sh [--port N] [--no-serve]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/lib.sh

port=""
serve=1
while [ $# -gt 0 ]; do
    case $1 in
        --port) port=${2:?--port needs a number}; shift 2 ;;
        --port=*) port=${1#--port=}; shift ;;
        --no-serve) serve=0; shift ;;
        -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "web.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
if [ -n "$port" ] && ! [[ $port =~ ^[0-9]+$ && $port -ge 1 && $port -le 65535 ]]; then
    echo "web.sh: --port wants a number from 1 to 65535, not $port" >&2
    exit 2
fi

install_missing scripts/{build,web}-packages.txt
# Debian's emcc runs its JavaScript tools with a node that does not look in Debian's own module
# folder, where node-acorn lives.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
build="$root/build-web"
mkdir -p "$build"
emcmake cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log"; exit 1; }
ninja -C "$build"
echo "Built: $(cd "$build" && du -cb index.html page.js icon.png demo.js demo.wasm sound.wasm sound_engine.js | tail -1 | cut -f1) bytes in $build"
[ "$serve" = 1 ] || exit 0

if [ -z "$port" ]; then
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
fi
echo "Open http://127.0.0.1:$port/index.html (Ctrl+C stops the server)"
exec python3 -m http.server --bind 127.0.0.1 --directory "$build" "$port"
