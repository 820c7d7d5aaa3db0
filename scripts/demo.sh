#!/usr/bin/env bash
# The main job: drive the library as the add-in would on a small example.
set -euo pipefail
build=${1:-build}
if [ -x "$build/tools/quarrow/quarrow" ] && [ -f examples/demo.sh ]; then
  exec bash examples/demo.sh "$build"
fi
exec "$build/examples/xor_example"
