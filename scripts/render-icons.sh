#!/usr/bin/env bash
# Renders the PNG sizes of the application's icon from its SVG (run after
# editing the SVG, and commit the PNGs; the build only installs them).
set -euo pipefail
icons=$(cd "$(dirname "$0")/../data/icons" && pwd)
for size in 16 24 32 48 64 128 256 512; do
    rsvg-convert -w "$size" -h "$size" "$icons/org.vantrel.Maturix.svg" -o "$icons/org.vantrel.Maturix-$size.png"
done
