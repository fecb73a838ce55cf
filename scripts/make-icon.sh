#!/usr/bin/env bash
# Rebuilds resources/tarnwick.ico: its drawn 16, 32 and 48 pixel images as they are, and the
# sizes Windows asks for at 125%, 150% and 200% scaling (20, 24, 40, 64) drawn from the same
# shapes at eight times the size and scaled down, so that no DPI gets a stretched icon.
set -eu
ico=$(cd "$(dirname "$0")/.." && pwd)/resources/tarnwick.ico
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
draw() { # SIZE: the badge and its pin on a 48-unit grid, at SIZE pixels
    local size=$1 k
    k=$(echo "scale=4; $1 * 8 / 48" | bc)
    u() { echo "scale=2; $1 * $k" | bc; }
    convert -size "$((size * 8))x$((size * 8))" xc:none \
        -fill '#009688' -stroke '#263238' -strokewidth "$(u 2.5)" \
        -draw "roundrectangle $(u 7.75),$(u 3.25) $(u 40.25),$(u 44.75) $(u 6),$(u 6)" \
        -stroke none -fill white \
        -draw "circle $(u 24),$(u 19) $(u 24),$(u 9)" \
        -draw "polygon $(u 15.2),$(u 23.5) $(u 32.8),$(u 23.5) $(u 24),$(u 38)" \
        -fill '#009688' -draw "circle $(u 24),$(u 19) $(u 24),$(u 15.5)" \
        -filter Box -resize "${size}x${size}" "PNG32:$work/$size.png"
}
for size in 20 24 40 64; do draw "$size"; done
# The drawn images, found by their size: a rebuilt icon holds the others too.
while read -r frame width; do
    case $width in 16 | 32 | 48) convert "$ico[$frame]" "PNG32:$work/$width.png" ;; esac
done < <(identify -format '%p %w\n' "$ico")
convert "$work"/{16,20,24,32,40,48,64}.png "$work"/tarnwick.ico
mv "$work/tarnwick.ico" "$ico"
identify "$ico"
