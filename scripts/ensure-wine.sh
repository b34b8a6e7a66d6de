#!/usr/bin/env bash
# Installs Wine for the demo.exe tests, only what is missing: the 64-bit Wine always, and the
# 32-bit Wine (i386 architecture, wine32:i386) where the kernel runs 32-bit code. Some kernels
# run 64-bit user code only; there the tests run the 64-bit build of the Windows backend.
# Run as root (the test machines are).
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# Graphics and sound libraries Wine loads at run time (Debian lists them as recommendations).
wine_runtime_libs="libgl1 libgl1-mesa-dri libglu1-mesa libpulse0 libxcomposite1 libxcursor1
  libxfixes3 libxi6 libxinerama1 libxrandr2 libxrender1 libxxf86vm1"

wanted=(wine wine64 wine64-preloader $wine_runtime_libs)
if runs_32_bit_code; then
    wanted+=(wine32:i386 wine32-preloader:i386)
    for lib in $wine_runtime_libs; do wanted+=("$lib:i386"); done
else
    echo "ensure-wine: this kernel runs no 32-bit code; installing the 64-bit Wine only"
fi

missing=()
for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

need_update=0
case " ${missing[*]}" in
    *:i386*)
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            dpkg --add-architecture i386
            need_update=1  # a new architecture has no package lists yet
        fi
        ;;
esac
if [ "$need_update" = 1 ] || ! apt-cache show wine64 >/dev/null 2>&1; then
    apt-get update -q
fi
echo "ensure-wine: installing ${missing[*]}"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
