#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG drawings into
# data/icons/hicolor. The PNGs are checked in; run this after changing a
# drawing. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"

render() {  # SOURCE SIZE
  mkdir -p "hicolor/$2x$2/apps"
  rsvg-convert --width "$2" --height "$2" "$1" --output "hicolor/$2x$2/apps/linesift.png"
}

# The small sizes have drawings of their own, laid on the pixel grid.
render linesift-16.svg 16
render linesift-32.svg 32
render linesift-48.svg 48
for size in 64 128 256; do
  render hicolor/scalable/apps/linesift.svg "$size"
done
