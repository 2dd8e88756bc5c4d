#!/usr/bin/env bash
# Compiles everything (programs, libraries, tests, benchmarks) in every build
# type with GCC and with clang, warnings as errors:
#   tools/build-types.sh [TOP_DIR [JOBS]]
# The default build (RelWithDebInfo with GCC) is left out: `make test` builds
# and tests it. Nothing is run here; a warning anywhere fails the build.
set -euo pipefail

top=${1:-build-types}
jobs=${2:-2}
mkdir -p "$top"
status=0
for cxx in g++ clang++-14; do
  for type in Release Debug MinSizeRel RelWithDebInfo; do
    [ "$cxx/$type" = g++/RelWithDebInfo ] && continue
    dir="$top/$cxx-$type"
    began=$(date +%s)
    if cmake -S . -B "$dir" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE="$type" \
         -DPLOTWEAVE_WERROR=ON >"$dir.log" 2>&1 &&
       cmake --build "$dir" -j "$jobs" >>"$dir.log" 2>&1; then
      echo "$cxx $type: built in $(($(date +%s) - began)) s"
    else
      echo "$cxx $type: FAILED (see $dir.log)"
      grep -E 'warning:|error:' "$dir.log" | head -20 || true
      status=1
    fi
  done
done
exit $status
