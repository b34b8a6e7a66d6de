#!/usr/bin/env bash
# Runs tests/e2e/web_engines.py (see there) in Firefox, whose long picture pass is web_pictures.
set -u
exec /usr/bin/python3 "$(dirname "$0")/web_engines.py" "$1" firefox --rows
