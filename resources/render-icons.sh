#!/bin/sh
# Renders every icon to OUTDIR (same layout as the resource paths) and writes
# OUTDIR/contact-sheet.png: each icon magnified 4x next to its real size, once on
# white and once on a dark background. Builds the renderer on the fly, so the
# project need not be configured.
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
outdir=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck disable=SC2046 # pkg-config output is meant to split into words
c++ -std=c++17 -O1 -fPIC -Wall -Wextra -o "$work/icongen" "$here"/tools/icongen/*.cpp \
    $(pkg-config --cflags --libs Qt5Svg Qt5Gui Qt5Core)

mkdir -p "$outdir"
QT_QPA_PLATFORM=offscreen "$work/icongen" --manifest "$here/icons/icons.manifest" --out "$outdir" \
    --sheet "$outdir/contact-sheet.png" --zoom 4
echo "wrote $outdir/contact-sheet.png"
