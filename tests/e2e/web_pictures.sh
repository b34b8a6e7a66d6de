#!/usr/bin/env bash
# Runs tests/e2e/web_pictures.py (see there) on the web build beside the native build given.
set -u
exec /usr/bin/python3 "$(dirname "$0")/web_pictures.py" "$1"
