# Sourced by the scripts: the Wine prefix of the win64 build and the build parallelism.
RAVEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="$RAVEL_ROOT/build/win64/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
RAVEL_JOBS=${RAVEL_JOBS:-$(nproc)}

ravel_need_setup() {
  local tool
  for tool in cmake ninja x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix wine clang++ gcab; do
    command -v "$tool" >/dev/null 2>&1 || return 0
  done
  [ -d /usr/src/googletest ] || return 0
  return 1
}

# One prefix, created once, and one wineserver kept alive for the whole run.
ravel_start_wine() {
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    # Let the boot's own processes finish before the tests start theirs.
    wineserver -w >/dev/null 2>&1 || true
  fi
  wineserver -p >/dev/null 2>&1 || true
  # The first program started in a new prefix can stall while Wine finishes setting it up; take
  # that start here, bounded, rather than in the first test.
  timeout 180 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

ravel_stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
}
