#!/usr/bin/env bash
# Builds the Debian package of a build directory and runs lintian on it: any
# error or warning fails, and so does an override that no longer matches.
#
#   lintian_test.sh BUILD_DIR
set -euo pipefail

build=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/plotweave-lintian-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
package=$(ls "$scratch"/out/*.deb)

status=0
lintian --fail-on error,warning --tag-display-limit 0 --info "$package" >"$scratch/lintian.log" 2>&1 || status=$?
cat "$scratch/lintian.log"
if [ "$status" -ne 0 ]; then
  echo "FAIL: lintian reports errors or warnings on $(basename "$package")" >&2
  exit 1
fi
# An override kept after its cause went away hides nothing but misleads.
if grep -Eq '^[EWI]: [^ ]+: (unused|mismatched)-override' "$scratch/lintian.log"; then
  echo "FAIL: packaging/lintian-overrides has an override lintian no longer needs" >&2
  exit 1
fi
echo "lintian: no error, no warning on $(basename "$package")"
