#!/usr/bin/env bash
# Draws the installer's skin: the fifteen PNG images of res/skin/<id>.png for 100 % display scale,
# the same at 150 % and 200 % in res/skin/150/ and res/skin/200/ (drawn at that size, not enlarged,
# so they stay crisp on high-density screens), and the icon group res/installer.ico (64, 48, 32 and
# 24 px). Needs ImageMagick 6 and the WenQuanYi Micro Hei font
# (both installed by scripts/setup). The output depends only on this script, so running it again
# rewrites identical files.
#
# Shapes are drawn at four times the final size and reduced with a box filter, which gives
# clean anti-aliased edges for the small glyphs; texts are set at their final pixel size. Every
# size and position below is given at 100 %; z() turns it into pixels of the scale being drawn.
set -euo pipefail
res=$(cd "$(dirname "$0")/../../res" && pwd)
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
[[ -f $font ]] || { echo "draw.sh: $font missing (run scripts/setup)" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

blue='#499EDE'       # the bands
S=4                  # supersampling factor
Z=1                  # the display scale being drawn (1, 1.5 or 2); set by draw_set
out=                 # where that scale's images go; set by draw_set

# A length given at 100 %, in pixels of the scale being drawn, rounded half up.
z() { echo "($1 * $Z + 0.5) / 1" | bc; }
# An ImageMagick offset "+X+Y" from 100 % coordinates.
off() { echo "+$(z "$1")+$(z "$2")"; }

# Writes an image without time stamps or other metadata, so the files are reproducible.
save_rgba() { convert "$1" -strip -define png:exclude-chunks=date,time -define png:color-type=6 "PNG32:$2"; }
save_rgb() { convert "$1" -strip -background white -alpha remove -alpha off -define png:exclude-chunks=date,time "PNG24:$2"; }

# Renders MVG drawn in 100 % coordinates onto a canvas of W x H (at 100 %) filled with BG, at S
# times the scale's size, then reduces it. $1 W, $2 H, $3 background, $4 MVG file, $5 output.
render() {
  local w h k
  w=$(z "$1"); h=$(z "$2"); k=$(echo "$S * $Z" | bc -l)
  convert -size $((w * S))x$((h * S)) "xc:$3" -draw "affine $k,0,0,$k,0,0 $(cat "$4")" \
    -filter Box -resize "${w}x${h}!" "$5"
}

# Writes text onto an image. $1 image, $2 pixel size at 100 %, $3 colour, $4 gravity, $5 $6 offset
# at 100 %, $7 text.
text() {
  convert "$1" -density 72 -font "$font" -pointsize "$(z "$2")" -fill "$3" -gravity "$4" \
    -annotate "$(off "$5" "$6")" "$7" "$1"
}

# A flat box of W x H (at 100 %) with a border one 100 % pixel wide. $1 W, $2 H, $3 border
# colour, $4 fill, $5 output.
framed_box() {
  local w h b
  w=$(z "$1"); h=$(z "$2"); b=$(z 1)
  convert -size "${w}x${h}" "xc:$3" +antialias -fill "$4" \
    -draw "rectangle $b,$b $((w - 1 - b)),$((h - 1 - b))" "$5"
}

# The phone-and-USB logo in a 100 x 100 design box, placed at ($1,$2) with scale $3; $4 is the
# stroke width in design units (thicker for small sizes). $5 is the detail: "full" (speaker,
# home button, tinted screen), "plain" (outline and USB sign) or "tiny" (outline and arrow).
logo() {
  local x=$1 y=$2 s=$3 sw=$4 detail=${5:-full}
  local thin
  thin=$(echo "$sw * 0.7" | bc -l)
  cat <<MVG
push graphic-context
translate $x,$y
scale $s,$s
stroke-linecap round
stroke-linejoin round
fill none
stroke white
stroke-width $sw
roundrectangle 29,4 71,96 9,9
MVG
  if [[ $detail == full ]]; then
    cat <<MVG
stroke-width $thin
line 45,12.5 55,12.5
stroke none
fill white
circle 50,87 50,$(echo "87 + $sw * 0.8" | bc -l)
fill rgba(255,255,255,0.18)
rectangle 35,20 65,78
MVG
  fi
  if [[ $detail == tiny ]]; then
    cat <<MVG
stroke-width $thin
line 50,76 50,36
stroke none
fill white
polygon 50,22 40,38 60,38
MVG
  else
    cat <<MVG
stroke white
stroke-width $thin
fill none
line 50,69 50,33
polyline 50,60 41,52 41,45
polyline 50,53 59,45 59,40
stroke none
fill white
polygon 50,25 45.5,33.5 54.5,33.5
circle 50,69 50,73.2
circle 41,43 41,46.3
rectangle 56,35 62,41
MVG
  fi
  echo "pop graphic-context"
}

# A small logo and the product name, at the top left of the setup and finish bands.
brand_mvg() { logo 9 7 0.2 6; }
brand_text() { text "$1" 13 white NorthWest 32 9 'Tavo手机助手'; }

# Light diagonal streaks across a band of height $1.
streaks() {
  local h=$1 x w a
  # The streaks stay clear of the top right corner, where the close button sits.
  for streak in "30 70 0.07" "140 22 0.05" "300 100 0.06" "430 26 0.05" "470 50 0.07"; do
    read -r x w a <<<"$streak"
    echo "fill 'rgba(255,255,255,$a)' polygon $x,0 $((x + w)),0 $((x + w - 150)),$h $((x - 150)),$h"
  done
  echo "fill-opacity 1"
}

# A soft halo behind the logo centred at ($1,$2).
halo() {
  echo "fill 'rgba(255,255,255,0.06)' circle $1,$2 $1,$(($2 + 92))"
  echo "fill 'rgba(255,255,255,0.08)' circle $1,$2 $1,$(($2 + 70))"
  echo "fill-opacity 1"
}

# Draws the fifteen images at scale $1 into directory $2.
draw_set() {
  Z=$1
  out=$2
  mkdir -p "$out"
  # 202: the setup band.
  { streaks 273; halo 289 105; logo 234 50 1.1 4; brand_mvg; } >"$tmp/202.mvg"
  render 579 273 "$blue" "$tmp/202.mvg" "$tmp/202.png"
  brand_text "$tmp/202.png"
  convert "$tmp/202.png" -density 72 -font "$font" -pointsize "$(z 28)" -kerning "$(z 4)" -fill white -gravity North \
    -annotate "$(off 2 188)" '最极致的体验' "$tmp/202.png"
  save_rgba "$tmp/202.png" "$out/202.png"

  # 218: the progress band.
  convert -size "$(z 580)x$(z 272)" "xc:$blue" -density 72 -font "$font" -pointsize "$(z 24)" -kerning "$(z 3)" \
    -fill white -gravity North -annotate "$(off 0 46)" '更多精彩，等您体验！' "$tmp/218.png"
  save_rgb "$tmp/218.png" "$out/218.png"

  # 226: the finish band.
  { halo 290 100; logo 235 45 1.1 4; brand_mvg; } >"$tmp/226.mvg"
  render 580 274 "$blue" "$tmp/226.mvg" "$tmp/226.png"
  brand_text "$tmp/226.png"
  convert "$tmp/226.png" -density 72 -font "$font" -pointsize "$(z 28)" -kerning "$(z 6)" -fill white -gravity North \
    -annotate "$(off 3 188)" '安装成功' "$tmp/226.png"
  save_rgb "$tmp/226.png" "$out/226.png"

  # 203: the install button, normal and lit.
  for c in '#329ED9' '#34B7FF'; do
    n=${c#\#}
    echo "fill '$c' roundrectangle 0,0 181,50 4,4" >"$tmp/203-$n.mvg"
    render 181 50 none "$tmp/203-$n.mvg" "$tmp/203-$n.png"
  done
  convert "$tmp/203-329ED9.png" "$tmp/203-34B7FF.png" +append "$tmp/203.png"
  save_rgba "$tmp/203.png" "$out/203.png"

  # 204: an empty check box.
  echo "fill none stroke '#A0A0A0' stroke-width 1 roundrectangle 0.5,0.5 15.5,15.5 2.5,2.5" >"$tmp/204.mvg"
  render 16 16 none "$tmp/204.mvg" "$tmp/204.png"
  save_rgba "$tmp/204.png" "$out/204.png"

  # 205: the tick of a check box.
  echo "fill none stroke '#4B83C2' stroke-width 2 stroke-linecap round stroke-linejoin round
        polyline 1.5,5 4.3,8 9.5,1.8" >"$tmp/205.mvg"
  render 11 10 none "$tmp/205.mvg" "$tmp/205.png"
  save_rgba "$tmp/205.png" "$out/205.png"

  # A white cross of size $1 and stroke $2 centred in a box of $3 x $4.
  cross_mvg() {
    local s=$1 sw=$2 w=$3 h=$4
    local x0 y0 x1 y1
    x0=$(echo "$w / 2 - $s / 2" | bc -l); x1=$(echo "$w / 2 + $s / 2" | bc -l)
    y0=$(echo "$h / 2 - $s / 2" | bc -l); y1=$(echo "$h / 2 + $s / 2" | bc -l)
    echo "fill none stroke white stroke-width $sw stroke-linecap round line $x0,$y0 $x1,$y1 line $x1,$y0 $x0,$y1"
  }

  # 206: the close button, blue and red.
  cross_mvg 12 1.6 46 36 >"$tmp/206.mvg"
  for c in '#469DE2' '#F30303'; do
    n=${c#\#}
    render 46 36 "$c" "$tmp/206.mvg" "$tmp/206-$n.png"
  done
  convert "$tmp/206-469DE2.png" "$tmp/206-F30303.png" +append "$tmp/206.png"
  save_rgba "$tmp/206.png" "$out/206.png"

  # 207: "custom install" with a triangle pointing up (frame 0) and down (frame 1).
  grey='#666666'
  for f in up down; do
    if [[ $f == up ]]; then tri='64,8 72,8 68,3.5'; else tri='64,3.5 72,3.5 68,8'; fi
    echo "fill '$grey' stroke none polygon $tri" >"$tmp/207-$f.mvg"
    render 78 11 none "$tmp/207-$f.mvg" "$tmp/207-$f.png"
    text "$tmp/207-$f.png" 11 "$grey" West 0 0 '自定义安装'
  done
  convert "$tmp/207-up.png" "$tmp/207-down.png" +append "$tmp/207.png"
  save_rgba "$tmp/207.png" "$out/207.png"

  # 217: "change folder", light and pressed.
  for c in '#FAFAFA' '#EEEEEE'; do
    n=${c#\#}
    framed_box 92 33 '#B7B7B7' "$c" "$tmp/217-$n.png"
    text "$tmp/217-$n.png" 13 '#333333' Center 0 0 '更换目录'
  done
  convert "$tmp/217-FAFAFA.png" "$tmp/217-EEEEEE.png" +append "$tmp/217.png"
  save_rgba "$tmp/217.png" "$out/217.png"

  # 220: two small white crosses, thin and bold.
  cross_mvg 7 1 11 11 >"$tmp/220-thin.mvg"
  cross_mvg 7 2 11 11 >"$tmp/220-bold.mvg"
  render 11 11 none "$tmp/220-thin.mvg" "$tmp/220-thin.png"
  render 11 11 none "$tmp/220-bold.mvg" "$tmp/220-bold.png"
  convert "$tmp/220-thin.png" "$tmp/220-bold.png" +append "$tmp/220.png"
  save_rgba "$tmp/220.png" "$out/220.png"

  # 221..224: the feature icons, a coloured disc with a white glyph; transparent around the disc, so
  # the band shows through at the corners.
  feature() {
    local id=$1 colour=$2 glyph=$3
    { echo "fill '$colour' stroke none circle 32.5,32.5 32.5,0.3"; echo "$glyph"; } >"$tmp/$id.mvg"
    render 65 65 none "$tmp/$id.mvg" "$tmp/$id.png"
    save_rgba "$tmp/$id.png" "$out/$id.png"
  }
  W='fill none stroke white stroke-linecap round stroke-linejoin round'
  feature 221 '#36B86A' "$W stroke-width 2.4 roundrectangle 19,21 46,46 3,3
    line 19,28.5 46,28.5 line 26,17 26,24 line 39,17 39,24
    stroke none fill white
    rectangle 24,33 28,36.5 rectangle 30.5,33 34.5,36.5 rectangle 37,33 41,36.5
    rectangle 24,39 28,42.5 rectangle 30.5,39 34.5,42.5"
  feature 222 '#2F7DE1' "$W stroke-width 2.4 roundrectangle 17,20 48,45 3,3
    stroke none fill white circle 40,27.5 40,30.5
    polygon 19.5,42.5 29,30 36,38.5 39.5,35 45.5,42.5"
  feature 223 '#F2613A' "stroke none fill white
    path 'M 32.5,15.5 C 39.5,15.5 43,21 43,28 L 43,36 L 47,41.5 L 18,41.5 L 22,36 L 22,28 C 22,21 25.5,15.5 32.5,15.5 Z'
    circle 32.5,44.5 32.5,48.8 rectangle 31,13 34,16"
  feature 224 '#F5A623' "stroke none fill white
    roundrectangle 19,19 30.5,30.5 2.5,2.5 roundrectangle 34.5,19 46,30.5 2.5,2.5
    roundrectangle 19,34.5 30.5,46 2.5,2.5 roundrectangle 34.5,34.5 46,46 2.5,2.5"

  # 225: the install-directory field.
  framed_box 409 33 '#B7B7B7' white "$tmp/225.png"
  save_rgba "$tmp/225.png" "$out/225.png"
}

draw_set 1 "$res/skin"
draw_set 1.5 "$res/skin/150"
draw_set 2 "$res/skin/200"
Z=1

# The program icon: the logo on a rounded blue square; thicker strokes at the small sizes.
icons=()
for icon in "64 4.5 full" "48 5.5 full" "32 6.5 plain" "24 8 tiny"; do
  read -r s sw detail <<<"$icon"
  r=$(echo "$s / 5" | bc -l)
  k=$(echo "$s / 100 * 0.92" | bc -l)
  off=$(echo "$s * 0.04" | bc -l)
  { echo "fill '$blue' roundrectangle 0,0 $s,$s $r,$r"; logo "$off" "$off" "$k" "$sw" "$detail"; } >"$tmp/icon$s.mvg"
  render "$s" "$s" none "$tmp/icon$s.mvg" "$tmp/icon$s.png"
  icons+=("$tmp/icon$s.png")
done
convert "${icons[@]}" -strip "$res/installer.ico"
echo "draw.sh: wrote res/skin/*.png, res/skin/150/*.png, res/skin/200/*.png and res/installer.ico"
