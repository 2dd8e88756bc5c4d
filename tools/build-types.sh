#!/usr/bin/env bash
# Compiles everything (programs, libraries, tests, benchmarks) in every build
# type with GCC and with clang, warnings as errors:
#   tools/build-types.sh [TOP_DIR [JOBS]]
# The default build (RelWithDebInfo with GCC) is left out: `make test` builds
# and tests it. Nothing is run here; a warning anywhere fails the build.
# clang is the newest one on PATH (tools/find-clang.sh), or CLANGXX when set.
set -euo pipefail

top=${1:-build-types}
jobs=${2:-2}
clang=${CLANGXX:-$("$(dirname "${BASH_SOURCE[0]}")/find-clang.sh" || true)}
if [ -z "$clang" ]; then
  echo "build-types: no clang++ on PATH (fuzz/install-deps.sh installs one)" >&2
  exit 1
fi
# Its folders are named by its major version, whichever name it was found by.
clang_name=clang++-$("$clang" -dumpversion | cut -d. -f1)
echo "clang: $clang ($clang_name)"
mkdir -p "$top"
status=0
for cxx in g++ "$clang"; do
  name=g++
  [ "$cxx" = g++ ] || name=$clang_name
  for type in Release Debug MinSizeRel RelWithDebInfo; do
    [ "$name/$type" = g++/RelWithDebInfo ] && continue
    dir="$top/$name-$type"
    began=$(date +%s)
    if cmake -S . -B "$dir" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE="$type" \
         -DPLOTWEAVE_WERROR=ON >"$dir.log" 2>&1 &&
       cmake --build "$dir" -j "$jobs" >>"$dir.log" 2>&1; then
      echo "$name $type: built in $(($(date +%s) - began)) s"
    else
      echo "$name $type: FAILED (see $dir.log)"
      grep -E 'warning:|error:' "$dir.log" | head -20 || true
      status=1
    fi
  done
done
exit $status
