#!/usr/bin/env bash
# Installs what the native build, tests and benchmarks need (Debian packages). Idempotent:
# nothing is fetched when everything is there already.
set -euo pipefail
packages=(
  cmake make g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libfann-dev       # the side-by-side benchmark
  libcli11-dev      # the host's command line
  libzip-dev libpugixml-dev libexpat1-dev # the host reads workbooks
  libxlsxwriter-dev # and writes the results workbook
  python3-openpyxl  # writes the reader's test workbooks and reads the written ones back
  clang-14 libclang-rt-14-dev # build the fuzz targets with libFuzzer
)
bash "$(dirname "$0")/apt-install.sh" "${packages[@]}"
