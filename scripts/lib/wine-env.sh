# Sourced by scripts/test and scripts/run: a private Wine prefix under build/, an Xvfb display
# when asked for, and one persistent wineserver for the session. wine_env_stop ends what
# wine_env_start started; callers install it as an EXIT trap so it also runs on failure.

ROOT=${ROOT:?ROOT must be the repository root}
export WINEPREFIX=$ROOT/build/wineprefix
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs while the prefix is made; no menu entries on the host for the
# shortcuts that tests create in the prefix's start menu and desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

WINE_ENV_XVFB_PID=
WINE_ENV_XVFB_LOG=

# The build whose Windows programs run here. Install.exe is a 32-bit program, and Wine starts
# 32-bit programs with a 32-bit loader; a kernel with its 32-bit emulation switched off (a boot
# setting: "32-bit emulation disabled" in its log) cannot start that loader at all. On such a
# machine the Windows programs are built for x86-64 as well (scripts/build win64) and run under
# Wine's 64-bit loader, through a `wine` of our own ahead on the PATH.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export WINE_BUILD=build/win
else
  export WINE_BUILD=build/win64
  mkdir -p "$ROOT/build/wine64-only"
  for name in wine wine-stable; do  # wineboot and the other tools start wine-stable
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$ROOT/build/wine64-only/$name"
    chmod +x "$ROOT/build/wine64-only/$name"
  done
  export WINELOADER=/usr/lib/wine/wine64 PATH=$ROOT/build/wine64-only:$PATH
fi

# Starts Xvfb on a free display and exports DISPLAY.
wine_env_start_xvfb() {
  local fdfile
  fdfile=$(mktemp)
  WINE_ENV_XVFB_LOG=$(mktemp)
  Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$fdfile" >"$WINE_ENV_XVFB_LOG" 2>&1 &
  WINE_ENV_XVFB_PID=$!
  local i
  for i in $(seq 100); do
    [[ -s $fdfile ]] && break
    sleep 0.1
  done
  if [[ ! -s $fdfile ]]; then
    echo "Xvfb did not start:" >&2
    cat "$WINE_ENV_XVFB_LOG" >&2
    return 1
  fi
  export DISPLAY=:$(tr -d '[:space:]' <"$fdfile")
  rm -f "$fdfile"
}

# Makes the prefix once (about 20 s) and reuses it afterwards.
wine_env_prefix() {
  if [[ ! -f $WINEPREFIX/.ready ]]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    # A prefix whose boot failed is not kept: the next start makes it afresh.
    [[ -f $WINEPREFIX/drive_c/windows/system32/kernel32.dll ]] || { echo "Wine prefix not made" >&2; return 1; }
    # Install.exe draws every text in 微软雅黑, which Wine lacks: map the face to the CJK font
    # that scripts/setup installs.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v '微软雅黑' /t REG_SZ /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v 'Microsoft YaHei' /t REG_SZ /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.ready"
  fi
  # The link of the setup page draws in the system's icon-title font ("MS Shell Dlg", Tahoma
  # here), which has no Chinese glyphs: link the CJK font to it, as a Chinese Windows does.
  if [[ ! -f $WINEPREFIX/.fontlink ]]; then
    local face
    for face in Tahoma 'MS Shell Dlg' 'MS Shell Dlg 2'; do
      wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
    done
    wineserver -w
    touch "$WINEPREFIX/.fontlink"
  fi
}

# Xvfb unless a display is given (or always, with "xvfb"), the prefix, and a persistent wineserver.
wine_env_start() {
  local managed=Y
  if [[ ${1:-} == xvfb || -z ${DISPLAY:-} ]]; then
    wine_env_start_xvfb || return 1
    # No window manager runs on the private display: without this, Wine waits 2 s for one to
    # withdraw every top-level window that is destroyed.
    managed=N
  fi
  wine_env_prefix || return 1
  wineserver -p
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$managed" /f </dev/null >/dev/null 2>&1
  # Start Wine's own services now, with no terminal or pipe inherited: started later by a test
  # program, they would hold its output pipe open and the test runner would wait forever.
  wine cmd /c exit </dev/null >/dev/null 2>&1
}

wine_env_stop() {
  wineserver -k 2>/dev/null || true  # nothing left to stop is fine
  if [[ -n $WINE_ENV_XVFB_PID ]]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null || true  # already gone is fine
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    WINE_ENV_XVFB_PID=
  fi
  [[ -n $WINE_ENV_XVFB_LOG ]] && rm -f "$WINE_ENV_XVFB_LOG"
  return 0
}

# Saves a screenshot of the whole display as PNG.
wine_env_screenshot() {
  local out=$1
  mkdir -p "$(dirname "$out")"
  xwd -root -silent | convert xwd:- "$out"
}
