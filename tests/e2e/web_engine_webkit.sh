#!/usr/bin/env bash
# Runs tests/e2e/web_engines.py (see there) in WebKitGTK's MiniBrowser.
set -u
exec /usr/bin/python3 "$(dirname "$0")/web_engines.py" "$1" webkit --pictures --rows
