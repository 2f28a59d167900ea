#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job on the sample video.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${OVRA_BUILD_DIR:-$root/build}

"$root/scripts/build.sh"
cli="$build_dir/cli/ovra-motion-cli"
out_dir="$build_dir/run-output"
mkdir -p "$out_dir"

sample="$out_dir/sample.mp4"
if [ ! -f "$sample" ]; then
  ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=640x400:rate=240 -frames:v 480 \
    -c:v libx264 -pix_fmt yuv420p "$sample"
fi
"$cli" probe "$sample"
frame="$out_dir/frame-$(date +%Y%m%d-%H%M%S).png"
"$cli" frame "$sample" --index 100 --output "$frame"
echo "Frame 100 written to $frame"
