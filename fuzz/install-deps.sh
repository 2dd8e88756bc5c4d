#!/usr/bin/env bash
# Installs what the sanitised, valgrind and fuzz runs need beyond the usual
# compiler: clang 14 with libFuzzer and the sanitizer runtimes, and valgrind.
# Safe to run again: Debian packages are installed only when missing.
set -euo pipefail

missing=()
for pkg in clang-14 libclang-rt-14-dev valgrind; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "installing ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
