#!/usr/bin/env bash
# Makes sure Wine for 32-bit Windows programs is installed, for the demo.exe tests: enables the
# i386 architecture and installs wine32:i386 only when something is missing, so a machine that
# already has them pays nothing. Run as root (the test machines are).
set -euo pipefail

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

missing=()
for pkg in wine wine32:i386; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

# A freshly added architecture has no package lists yet; an old list may miss the i386 ones.
if [ "$need_update" = 1 ] || ! apt-cache show wine32:i386 >/dev/null 2>&1; then
  apt-get update -qq
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
