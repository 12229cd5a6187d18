#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
# `tools/deps.sh win` adds what the Windows build and its tests need.
set -euo pipefail
need=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev libpng-dev pkg-config nlohmann-json3-dev libcli11-dev
      # The live view: HTTP, JPEG, and the browser its test drives.
      libcpp-httplib-dev libturbojpeg0-dev chromium)
# Node may come from elsewhere than Debian; Debian's is recent enough.
command -v node >/dev/null 2>&1 || need+=(nodejs)
command -v npm >/dev/null 2>&1 || need+=(npm)
for group in "$@"; do
  case "$group" in
    # The cross compiler with the POSIX thread model, GoogleTest's sources to
    # build for the target, Wine to run the tests.
    win) need+=(g++-mingw-w64-x86-64-posix googletest wine64) ;;
    *) echo "deps.sh: unknown group '$group'" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${need[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The browser test's one package, at the version the lock file pins.
if [ $# -eq 0 ]; then
  "$(dirname "$0")/../tests/browser/install.sh"
fi
