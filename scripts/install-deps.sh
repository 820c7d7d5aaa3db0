#!/usr/bin/env bash
# Installs what the native build, tests and benchmarks need (Debian packages). Idempotent:
# nothing is fetched when everything is there already.
set -euo pipefail
need=()
# CLI11: the host's command line. libzip, pugixml, expat: the host reads workbooks; python3-openpyxl writes the test workbooks.
for pkg in cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libzip-dev libpugixml-dev \
  libexpat1-dev pkg-config python3-openpyxl; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
fi
