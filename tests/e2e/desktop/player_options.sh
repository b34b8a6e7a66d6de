#!/usr/bin/env bash
# The player's command line. --help prints the usage with the options and the controls and
# exits 0; --version prints one line and exits 0. An unknown option or a stray argument gets
# one line on stderr naming it and pointing to --help, exit code 2, and nothing opened: run
# with no display at all, a program that went on to open its window would say "no display"
# and exit 1 instead.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
demo="$build/demo"
work=$(mktemp -d /tmp/demo-options.XXXXXX)
trap 'rm -rf "$work"' EXIT
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER PULSE_SERVER=unix:/nonexistent)

for opt in --help -h; do
    "${nodisplay[@]}" "$demo" $opt >"$work/out" 2>"$work/err"
    rc=$?
    [ "$rc" = 0 ] || fail "$opt: exit code $rc"
    [ -s "$work/err" ] && fail "$opt wrote to stderr: $(cat "$work/err")"
    for word in Usage --window -w --help --version Escape Alt+Enter F11; do
        grep -qF -- "$word" "$work/out" || fail "$opt: the usage does not mention $word"
    done
done
echo "--help: exit 0, $(wc -l <"$work/out") lines of usage"

"${nodisplay[@]}" "$demo" --version >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 0 ] || fail "--version: exit code $rc"
[ "$(wc -l <"$work/out")" = 1 ] && grep -Eq ' [0-9]+\.[0-9]+\.[0-9]+$' "$work/out" ||
    fail "--version printed: $(cat "$work/out")"
echo "--version: $(cat "$work/out")"

# ARGS | the argument the complaint must name
while IFS='|' read -r args named; do
    # shellcheck disable=SC2086
    "${nodisplay[@]}" "$demo" $args >"$work/out" 2>"$work/err"
    rc=$?
    echo "demo $args: exit $rc: $(cat "$work/err")"
    [ "$rc" = 2 ] || fail "demo $args: exit code $rc, expected 2"
    [ -s "$work/out" ] && fail "demo $args wrote to stdout"
    [ "$(wc -l <"$work/err")" = 1 ] || fail "demo $args: expected one line on stderr"
    grep -qF -- "'$named'" "$work/err" || fail "demo $args: the line does not name '$named'"
    grep -qF -- "--help" "$work/err" || fail "demo $args: the line does not point to --help"
done <<'CASES'
--fullscreen|--fullscreen
-x|-x
stray|stray
--window extra|extra
--window=yes|--window=yes
CASES

# The premise: without a display, a good option goes on to start-up and fails there.
"${nodisplay[@]}" "$demo" --window >/dev/null 2>"$work/err"
rc=$?
[ "$rc" = 1 ] && grep -q "no display" "$work/err" ||
    fail "demo --window with no display: exit $rc, '$(cat "$work/err")'; expected 1 and no display"
