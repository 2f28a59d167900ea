#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Generates the small test videos into the folder given as the only argument.
# Each file exercises one property of the media layer; the tests name them.
set -euo pipefail

out=${1:?usage: generate-test-media.sh OUTPUT_DIR}
mkdir -p "$out"
cd "$out"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
# testsrc2 changes every frame and is asymmetric, so both seeking and rotation errors show.
pattern() { echo "testsrc2=size=$1:rate=$2"; }
x264() { echo "-c:v libx264 -preset veryfast -pix_fmt yuv420p"; }

# Constant rate with B-frames and a long key-frame interval (two GOPs).
ff -f lavfi -i "$(pattern 320x240 25)" -frames:v 100 $(x264) -bf 3 -g 60 -keyint_min 60 -sc_threshold 0 cfr25_bframes.mp4
ff -f lavfi -i "$(pattern 320x180 30)" -frames:v 90 $(x264) -bf 3 -g 75 -keyint_min 75 -sc_threshold 0 cfr30_bframes.mp4

# A 240 fps recording retimed to 30 fps playback, as high-speed cameras store it.
ff -f lavfi -i "$(pattern 320x240 240)" -frames:v 48 -vf "setpts=N/(30*TB)" -r 30 $(x264) slowmo240_stored30.mp4

# Real base rate 240 but average rate 30: frames 1/240 s apart, the last one held for the rest of 1.6 s.
ff -f lavfi -i "$(pattern 160x120 240)" -frames:v 48 $(x264) -bf 0 -video_track_timescale 15360 base240_source.mp4
ff -i base240_source.mp4 -c copy -bsf:v "setts=duration=if(eq(N\,47)\,21568\,DURATION)" base240_avg30.mp4
rm base240_source.mp4

# Irregular first frames (0.05 s steps with a jitter of 13 ms on odd frames) and a uniform
# 30 fps tail from frame 10 on. A fine time base keeps the irregular timestamps through encoding.
ff -f lavfi -i "$(pattern 160x120 30)" -frames:v 80 \
  -vf "settb=1/30000,setpts=if(lt(N\,10)\,N*1500+mod(N\,2)*390\,15000+(N-10)*1000)" \
  -enc_time_base 1/30000 -fps_mode passthrough -video_track_timescale 30000 $(x264) -bf 0 vfr_irregular_head.mp4

# The same in Matroska, whose 1 ms ticks round the 30 fps tail to 33 and 34 ms steps.
ff -f lavfi -i "$(pattern 160x120 30)" -frames:v 80 \
  -vf "settb=1/30000,setpts=if(lt(N\,10)\,N*1500+mod(N\,2)*390\,15000+(N-10)*1000)" \
  -enc_time_base 1/30000 -fps_mode passthrough $(x264) -bf 0 vfr_irregular_head.mkv

# An irregular head and a 240 fps tail in MP4 ticks of 1/600 s, which round the tail's steps
# to 2 and 3 ticks.
ff -f lavfi -i "$(pattern 128x96 240)" -frames:v 400 \
  -vf "settb=1/24000,setpts='if(lt(N,40),N*0.02,0.8+(N-40)/240)/TB'" \
  -fps_mode passthrough $(x264) -bf 0 -video_track_timescale 600 vfr_240fps_tail_600.mp4

# A frame left out where a tick is as long as a frame (AVI counts time in frames) and where
# it is 0.7 of a frame (700 fps in Matroska's 1 ms): frame 35's 1 + 1 ms become 2 ms.
ff -f lavfi -i "$(pattern 96x64 25)" -frames:v 99 -vf "select='not(eq(n\,50))'" -fps_mode passthrough \
  -c:v mpeg4 frame_missing_25fps.avi
ff -f lavfi -i "$(pattern 96x64 700)" -frames:v 139 -vf "select='not(eq(n\,35))'" -fps_mode passthrough \
  -c:v ffv1 frame_missing_700fps.mkv

# Display rotations, written by remuxing an unrotated landscape file.
ff -f lavfi -i "$(pattern 320x176 25)" -frames:v 30 $(x264) rotation_base.mp4
for angle in 45 90 180 270; do
  ff -i rotation_base.mp4 -c copy -metadata:s:v:0 rotate=$angle rotated_$angle.mp4
done

# Non-square pixels: 640x420 stored with 7:6 pixels is shown 16:9; turned upright, 9:16.
ff -f lavfi -i "$(pattern 640x420 25)" -frames:v 10 -vf setsar=7/6 $(x264) sar_7_6.mp4
ff -i sar_7_6.mp4 -c copy -metadata:s:v:0 rotate=90 sar_7_6_rotated_90.mp4

# Long enough that a cancellation from another thread lands mid-way.
ff -f lavfi -i "$(pattern 320x240 30)" -frames:v 900 $(x264) long_cfr30.mp4

# Slow-motion intent marked in the metadata, with blanks around the value: once on the video
# stream (Matroska keeps arbitrary stream tags) and once on the container.
ff -f lavfi -i "$(pattern 160x120 30)" -frames:v 30 $(x264) \
  -metadata:s:v:0 "com.apple.quicktime.full-frame-rate-playback-intent= False " slowmo_intent_stream.mkv
ff -f lavfi -i "$(pattern 160x120 30)" -frames:v 30 $(x264) -movflags use_metadata_tags \
  -metadata "com.apple.quicktime.full-frame-rate-playback-intent= False " slowmo_intent_container.mov

# Tiny and odd sizes (4:4:4 so that H.264 accepts odd dimensions; testsrc2 itself only makes even sizes).
ff -f lavfi -i "$(pattern 32x32 25)" -frames:v 20 $(x264) tiny_32x32.mp4
ff -f lavfi -i "$(pattern 320x240 25)" -frames:v 20 -vf scale=321:241 -c:v libx264 -preset veryfast -pix_fmt yuv444p odd_321x241.mp4

ff -f lavfi -i "$(pattern 320x240 25)" -frames:v 25 -c:v mjpeg -q:v 4 -pix_fmt yuvj420p mjpeg.avi

# NUT declares a duration that ends where the last frame starts.
ff -f lavfi -i "$(pattern 160x120 30)" -frames:v 30 -c:v ffv1 duration_to_last_frame.nut

ff -f lavfi -i "sine=frequency=440:duration=1" -c:a aac audio_only.mp4

# Truncated files: without its index (which an ordinary MP4 keeps at the end), and with the
# index first but the media data cut short.
ff -f lavfi -i "$(pattern 320x240 25)" -frames:v 50 $(x264) -movflags +faststart truncation_source.mp4
size=$(stat -c %s truncation_source.mp4)
head -c $((size * 2 / 3)) truncation_source.mp4 > truncated_media.mp4
ff -i truncation_source.mp4 -c copy truncation_moov_last.mp4
head -c $((size / 2)) truncation_moov_last.mp4 > truncated_no_index.mp4
rm truncation_source.mp4 truncation_moov_last.mp4

printf 'This is a text file, not a video.\n' > not_a_video.mp4

# Every width from 2 to 130 and from 560 to 660, each with ffmpeg's own RGBA conversion of its
# first frame: FFmpeg's vector code writes past a row's end, and the width decides how far.
# H.264 (lossless) takes the even widths, FFV1 the odd ones.
width_clip() {
  local w=$1 h=6 codec=(-c:v libx264 -preset ultrafast -qp 0) ext=mp4
  if (( w % 2 )); then h=5; codec=(-c:v ffv1); ext=mkv; fi
  ff -f lavfi -i "testsrc2=size=672x8:rate=25" -frames:v 2 \
    -filter_complex "scale=$w:$h,format=yuv420p,split[v][r];[r]scale=flags=bilinear,format=rgba[ref]" \
    -map '[v]' "${codec[@]}" "widths/w$w.$ext" -map '[ref]' -frames:v 1 -f rawvideo "widths/w$w.rgba"
}
export -f ff width_clip
mkdir -p widths
{ seq 2 130; seq 560 660; } | xargs -P 2 -I{} bash -c 'width_clip {}'

