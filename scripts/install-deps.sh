#!/usr/bin/env bash
# Installs what the native build, tests and benchmarks need (Debian packages). Idempotent:
# nothing is fetched when everything is there already.
set -euo pipefail
need=()
# clang-14 and its runtime libraries build the fuzz targets with libFuzzer.
for pkg in cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
fi
