#!/usr/bin/env bash
# Installs what the sanitised, valgrind and fuzz runs need beyond the usual
# compiler: clang 14 with libFuzzer and the sanitizer runtimes, and valgrind.
# Safe to run again: Debian packages are installed only when missing.
set -euo pipefail

"$(dirname "${BASH_SOURCE[0]}")/../tools/apt-install-missing.sh" clang-14 libclang-rt-14-dev valgrind
