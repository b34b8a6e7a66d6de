#!/usr/bin/env bash
# Runs tests/e2e/web_engines.py (see there) in Chromium, whose pictures and offline rows web_pictures and web_sound check.
set -u
exec /usr/bin/python3 "$(dirname "$0")/web_engines.py" "$1" chromium
