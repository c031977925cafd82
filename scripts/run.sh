#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the main job.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

bash "$root/scripts/bootstrap.sh"
bash "$root/scripts/build.sh"
echo "Built the core library and its tests. The installer executable does not exist yet, so there is no install to run."
