#!/usr/bin/env bash
# The demo's core, the headless backend and the unit and picture tests build warning-free with
# Clang too (its own build in $1/clang, Release, warnings as errors): GCC alone would let
# Clang-only warnings and GCC-only extensions in. Only builds; the tests themselves run on GCC.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
dir=$build/clang
log=$(artifacts)/clang_build.log
command -v clang++ >/dev/null || fail "no clang++"
# Through ccache where there is one: a few minutes on two cores the first time, seconds after.
launcher=$(command -v ccache || true)
cmake -S "$src" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDEMO_WERROR=ON \
    -DCMAKE_CXX_COMPILER=clang++ ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER=$launcher} >"$log" 2>&1 || { cat "$log"; fail "cannot configure $dir"; }
targets=$(cd "$src/tests" && for d in */; do
    d=${d%/}
    case $d in support|e2e|tools) ;; *) ls "$d"/*.cpp >/dev/null 2>&1 && echo "${d}_tests" ;; esac
done)
# shellcheck disable=SC2086
ninja -C "$dir" -j2 demo_core platform_headless $targets >>"$log" 2>&1 ||
    { grep -B2 -A12 -E "error|warning" "$log" | head -80; fail "the Clang build failed (log: $log)"; }
echo "clang build of demo_core, platform_headless and $(echo $targets | wc -w) test executables: no warning"
