#!/usr/bin/env bash
# Installs the browser test's package (puppeteer-core, which drives Debian's
# Chromium) from the lock file, when it is missing or the lock file changed.
set -euo pipefail
cd "$(dirname "$0")"
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  npm ci --no-audit --no-fund --loglevel=error
fi
