#!/usr/bin/env bash
# Writes flat placeholder art of the right sizes into res/ (icon and the fifteen skin PNGs).
set -euo pipefail
res=$(cd "$(dirname "$0")/../../res" && pwd)
mk() { convert -size "$2" "xc:$3" -define png:color-type=6 "PNG32:$res/skin/$1.png"; }
mk 202 579x273 '#499EDE'; mk 203 362x50 '#329ED9'; mk 204 16x16 '#A0A0A0'; mk 205 11x10 '#4B83C2'
mk 206 92x36 '#469DE2'; mk 207 156x11 '#888888'; mk 217 184x33 '#FAFAFA'; mk 218 580x272 '#499EDE'
mk 220 22x11 '#FFFFFF'; mk 221 65x65 '#3CB371'; mk 222 65x65 '#329ED9'; mk 223 65x65 '#FF5A36'
mk 224 65x65 '#F5A623'; mk 225 409x33 '#FFFFFF'; mk 226 580x274 '#499EDE'
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
for s in 64 48 32 24; do convert -size ${s}x${s} xc:none -fill '#499EDE' -draw "roundrectangle 0,0,$((s-1)),$((s-1)),$((s/6)),$((s/6))" "PNG32:$tmp/$s.png"; done
convert "$tmp/64.png" "$tmp/48.png" "$tmp/32.png" "$tmp/24.png" "$res/installer.ico"
