#!/usr/bin/env bash
# The main job: grab continuously from the simulated default board into out/ with the release
# build's tool. Called by `make run` with the build directory.
set -euo pipefail
build_dir="${1:-build/release}"
exec "$build_dir/bin/grabline" grab --mode continuous --frames 30 --out out
