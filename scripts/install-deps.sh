#!/usr/bin/env bash
# Installs what the native build, tests and benchmarks need (Debian packages). Idempotent:
# nothing is fetched when everything is there already.
set -euo pipefail
need=()
packages=(
  cmake make g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libfann-dev       # the side-by-side benchmark
  libcli11-dev      # the host's command line
  libzip-dev libpugixml-dev libexpat1-dev # the host reads workbooks
  libxlsxwriter-dev # and writes the results workbook
  python3-openpyxl  # writes the reader's test workbooks and reads the written ones back
)
for pkg in "${packages[@]}"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
fi
