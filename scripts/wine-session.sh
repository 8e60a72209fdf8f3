# Sourced: a private, headless Wine set-up for this shell, torn down on exit.
# A temporary WINEPREFIX, a private Xvfb display, services detached from our
# output pipes, unmanaged windows (no 2 s wait per hide without a window
# manager), no crash dialog, .txt associated with notepad, and a drive Q:.
WINE64=/usr/lib/wine/wine64

wine_session_start() {
  export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  WINEPREFIX=$(mktemp -d /tmp/quil-wine.XXXXXX)
  local display
  for display in $(seq 90 140); do
    [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ] || break
  done
  Xvfb ":${display}" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  QUIL_XVFB_PID=$!
  export DISPLAY=":${display}"
  trap wine_session_stop EXIT
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display}" ] && break; sleep 0.1; done

  # Background services inherit these handles; on a pipe they would hold a
  # test's output open for ever.
  wineserver -p </dev/null >/dev/null 2>&1
  timeout 600 "$WINE64" wineboot -i </dev/null >/dev/null 2>&1
  wine_reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
  wine_reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
  wine_reg 'HKCR\.txt' /ve /d txtfile
  # A drive of the tests' own, Q:, for a drive's root ("Q:\") and for paths
  # near the length limits, which no folder below Z:\tmp can reach. Wine's
  # mount manager lists a drive added after the prefix's first start (for
  # FindFirstFile on its root) only once the server has started again.
  mkdir -p "$WINEPREFIX/drive_q"
  ln -sfn ../drive_q "$WINEPREFIX/dosdevices/q:"
  wine_reg 'HKLM\Software\Wine\Drives' /v 'q:' /d hd
  timeout 30 wineserver -k </dev/null >/dev/null 2>&1
  timeout 30 wineserver -w </dev/null >/dev/null 2>&1
  wineserver -p </dev/null >/dev/null 2>&1
  # The services start again here, away from any test's output pipes.
  timeout 120 "$WINE64" wineboot </dev/null >/dev/null 2>&1
}

wine_reg() {
  timeout 60 "$WINE64" reg add "$@" /f </dev/null >/dev/null 2>&1
}

wine_session_stop() {
  [ -n "${WINEPREFIX:-}" ] && timeout 30 wineserver -k </dev/null >/dev/null 2>&1
  [ -n "${QUIL_XVFB_PID:-}" ] && kill "$QUIL_XVFB_PID" 2>/dev/null
  [ -n "${WINEPREFIX:-}" ] && rm -rf "$WINEPREFIX"
  QUIL_XVFB_PID="" WINEPREFIX=""
}
