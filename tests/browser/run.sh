#!/usr/bin/env bash
# The live view's browser test as CTest runs it: TOOL CAMERAS_DIR OUT_DIR.
set -euo pipefail
here="$(dirname "$0")"
"$here/install.sh"
exec node "$here/view_test.mjs" "$@"
