#!/usr/bin/env bash
# Installs what is missing, builds the program and opens a sample file in it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMOR_BENCH=OFF >/dev/null
cmake --build "$root/build" --target velmor_dravik
sample="$root/samples/customers.csv"
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found: running in a virtual X server (xvfb-run). Stop it with Ctrl+C."
  exec xvfb-run -a "$root/build/bin/velmor_dravik" "$sample"
fi
exec "$root/build/bin/velmor_dravik" "$sample"
