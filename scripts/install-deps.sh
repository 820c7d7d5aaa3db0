#!/usr/bin/env bash
# Installs what the native build, tests and benchmarks need (Debian packages). Idempotent:
# nothing is fetched when everything is there already.
set -euo pipefail
need=()
# pkg-config finds libxlsxwriter (the results workbook); pugixml and openpyxl read what the
# host writes back in the tests.
for pkg in cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
  libxlsxwriter-dev libpugixml-dev python3-openpyxl; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
fi
