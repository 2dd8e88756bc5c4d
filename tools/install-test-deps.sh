#!/usr/bin/env bash
# Installs what the browser, deployment and package tests need and builds the
# laboratory-server kit.
# Safe to run again: Debian packages are installed only when missing.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# fonts-liberation gives the Latin text of the screenshots the usual metrics;
# nginx serves the installed kit in the deployment test, lintian checks the
# Debian package; poppler-utils reads the text back out of printed figures.
# graphviz, python3-networkx and python3-rdflib read what plotweave-export
# writes, as the programs its users keep beside it do.
"$root/tools/apt-install-missing.sh" chromium fonts-nanum fonts-liberation nginx lintian poppler-utils \
  graphviz python3-networkx python3-rdflib

# plotweave-preview's HTTP server: cpp-httplib's header from Debian's sources.
"$root/tools/fetch-httplib.sh"

cd "$root/web"
npm ci --no-audit --no-fund
npm run build
