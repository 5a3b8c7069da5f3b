#!/usr/bin/env bash
# Renders the program's icon, icons/org.quorvex.Quorvex.svg, into the PNG sizes the desktop's
# icon theme looks up (icons/SIZE/org.quorvex.Quorvex.png). Needs rsvg-convert (Debian's
# librsvg2-bin), which the build does not: run it again after changing the drawing and
# commit the PNG files.
set -euo pipefail
cd "$(dirname "$0")/icons"
for size in 16 32 48 64 128 256; do
  mkdir -p "$size"
  rsvg-convert --width "$size" --height "$size" --output "$size/org.quorvex.Quorvex.png" \
    org.quorvex.Quorvex.svg
done
