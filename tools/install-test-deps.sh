#!/usr/bin/env bash
# Installs what the browser test needs and builds the laboratory-server kit.
# Safe to run again: Debian packages are installed only when missing.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

missing=()
# fonts-liberation gives the Latin text of the screenshots the usual metrics.
for pkg in chromium fonts-nanum fonts-liberation; do
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

cd "$root/web"
npm ci --no-audit --no-fund
npm run build
