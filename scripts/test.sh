#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${OVRA_BUILD_DIR:-$root/build}

"$root/scripts/build.sh"
cd "$build_dir"
ctest --output-on-failure --parallel 2 "$@"
