#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs the main job on the bundled sample video: with a
# display, the application opens the sample; without one, the vibration of the sample's pump
# housing (12 Hz) is magnified headless and exported as MP4 + JSON.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${OVRA_BUILD_DIR:-$root/build}

"$root/scripts/build.sh"
sample="$build_dir/sample/ovra-sample-pump-240fps.mp4"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build_dir/app/ovra-motion" "$sample"
fi
out_dir="$build_dir/run-output"
mkdir -p "$out_dir"
# A new name every run: results are never overwritten.
output="$out_dir/pump-magnified-$(date +%Y%m%d-%H%M%S).mp4"
"$build_dir/cli/ovra-motion-cli" process "$sample" \
  --output "$output" --band 10:14 --factor 20
