#!/usr/bin/env bash
# The demo's own static data (.data, .bss and .rodata of the core library's objects: tables,
# work buffers, textures, vertex arrays) stays under 1 MiB; the platform libraries come on top.
# Prints the size of each object.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
lib=$build/libdemo_core.a
[ -f "$lib" ] || fail "no $lib"
sizes=$(size -A "$lib" | awk '
    /\.o .*\(ex / { object = $1 }
    $1 ~ /^\.(data|bss|rodata|tdata|tbss)/ { bytes[object] += $2; all += $2 }
    END {
        for (o in bytes) printf "%d %s\n", bytes[o], o
        printf "%d total\n", all
    }' | sort -n -r)
total=$(awk '$2 == "total" { print $1 }' <<<"$sizes")
awk '$2 != "total" { printf "  %-28s %8d bytes\n", $2, $1 }' <<<"$sizes"
awk -v b="$total" 'BEGIN { printf "demo static data: %d bytes (%.1f KiB of the 1024 KiB allowed)\n", b, b / 1024 }'
[ "$total" -lt 1048576 ] || fail "the demo's static data, $total bytes, reach 1 MiB"
