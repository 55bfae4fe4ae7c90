#!/usr/bin/env bash
# Builds tonefade.so with ThreadSanitizer in BUILD_DIR (default build-tsan) and runs
# race_probe.c against it: no race may be reported and every frame must match.
# (Only the filter and the toolbox are built: the host's programs use per-processor
# function clones, whose resolvers run before ThreadSanitizer is ready.)
set -euo pipefail
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$SOURCE/build-tsan}
flags="-fsanitize=thread"
cmake -S "$SOURCE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONEFADE_BENCH=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
  -DCMAKE_MODULE_LINKER_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
nice cmake --build "$BUILD" --target tonefade_frei0r
cc -std=c11 -O1 -g $flags "$SOURCE/tests/frei0r/race_probe.c" -o "$BUILD/race_probe" -ldl -lpthread
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
XDG_CONFIG_HOME=$config TSAN_OPTIONS="halt_on_error=1 exitcode=66" "$BUILD/race_probe" "$BUILD/lib/frei0r-1/tonefade.so"
