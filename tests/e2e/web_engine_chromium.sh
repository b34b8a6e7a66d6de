#!/usr/bin/env bash
# Runs tests/e2e/web_engines.py (see there) in Chromium: fewer frames; web_sound checks its offline rows.
set -u
exec /usr/bin/python3 "$(dirname "$0")/web_engines.py" "$1" chromium --pictures
