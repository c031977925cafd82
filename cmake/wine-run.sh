#!/usr/bin/env bash
# Runs one Windows program under Wine in the build directory's private prefix.
# The prefix is made once per build directory (wineboot) under a lock, so that
# parallel test runs share it; HOME points into the build directory so nothing
# of the host's home is touched.
set -euo pipefail

build_dir=${KS_BUILD_DIR:-$PWD}
while [ ! -f "$build_dir/CMakeCache.txt" ] && [ "$build_dir" != / ]; do
  build_dir=$(dirname "$build_dir")
done
[ -f "$build_dir/CMakeCache.txt" ] || { echo "wine-run: no build directory above $PWD" >&2; exit 2; }

export WINEPREFIX="$build_dir/wineprefix"
export HOME="$build_dir/winehome"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
wine=/usr/lib/wine/wine64

mkdir -p "$HOME"
if [ ! -f "$WINEPREFIX/.ready" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.ready" ]; then
      rm -rf "$WINEPREFIX"
      "$wine" wineboot -i >/dev/null 2>&1
      /usr/lib/wine/wineserver -w
      touch "$WINEPREFIX/.ready"
    fi
  ) 9>"$build_dir/wineprefix.lock"
fi

exec "$wine" "$@"
