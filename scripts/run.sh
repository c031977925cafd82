#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the main job: the
# wizard's install of a sample Ostrel Dax from a local HTTPS catalogue server
# under Wine (on DISPLAY, or clicked through on an Xvfb of its own).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_BUILD:-$root/build}

bash "$root/scripts/bootstrap.sh"
bash "$root/scripts/build.sh"
/usr/bin/python3 "$root/scripts/demo_install.py" "$build"
