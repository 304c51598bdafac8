#!/bin/sh
# Fails when the shared library names a dependency beyond the C and C++ runtimes:
# every process that loads it maps each one at start, short-lived ones included.
set -eu
extra=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' |
    grep -v -E '^(libc|libm|libstdc\+\+|libgcc_s|ld-linux-x86-64)\.so' || true)
[ -z "$extra" ] || { echo "unexpected dependencies: $extra"; exit 1; }
