#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not installed yet; nothing is
# fetched when all are there. --no-recommends keeps large suites to what they need.
#   bash scripts/apt-install.sh [--no-recommends] PACKAGE...
set -euo pipefail
extra=()
if [ "${1:-}" = "--no-recommends" ]; then
  extra+=(--no-install-recommends)
  shift
fi
need=()
for pkg in "$@"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${extra[@]}" "${need[@]}"
fi
