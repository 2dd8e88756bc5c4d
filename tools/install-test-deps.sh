#!/usr/bin/env bash
# Installs what the browser test needs and builds the laboratory-server kit.
# Safe to run again: Debian packages are installed only when missing.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# fonts-liberation gives the Latin text of the screenshots the usual metrics.
"$root/tools/apt-install-missing.sh" chromium fonts-nanum fonts-liberation

cd "$root/web"
npm ci --no-audit --no-fund
npm run build
