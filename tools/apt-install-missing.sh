#!/usr/bin/env bash
# Installs those of the Debian packages named on the command line that are not
# installed yet, and nothing when all are, so that the scripts that call it
# are safe to run again. apt-get runs through sudo when not root.
#
#   tools/apt-install-missing.sh PKG...
set -euo pipefail

missing=()
for pkg in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "apt-install-missing: missing ${missing[*]}; run as root to install them" >&2
    exit 1
  fi
  sudo="sudo"
fi
echo "installing ${missing[*]}"
$sudo apt-get update
# Through env, which sudo does not clean, so that no package asks questions.
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
