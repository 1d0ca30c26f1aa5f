#!/usr/bin/env bash
# Remakes splash.bmp, the launchers' splash picture: 400 x 250, 24-bit, uncompressed.
# Needs ImageMagick 6 and the DejaVu fonts.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fonts=/usr/share/fonts/truetype/dejavu
convert -size 400x250 -define gradient:direction=SouthEast gradient:'#1d3d5c-#5f8fa8' \
    -fill '#ffffff14' -draw 'circle 360,20 360,200' \
    -fill '#f4f1ea' -font "$fonts/DejaVuSerif.ttf" -pointsize 46 \
    -gravity center -annotate +0-12 'Orvantis' \
    -fill '#d8e4ea' -draw 'rectangle 140,152 258,153' \
    -alpha off -type TrueColor BMP3:"$here/splash.bmp"
