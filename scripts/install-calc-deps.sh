#!/usr/bin/env bash
# Installs what the Calc extension's test needs: a headless LibreOffice Calc with Python-UNO,
# and poppler for rendering the result sheet to an image. Kept apart from install-deps.sh so
# the main build does not pull in an office suite. Idempotent.
set -euo pipefail
need=()
packages=(
  libreoffice-calc-nogui libreoffice-script-provider-python python3-uno
  poppler-utils
)
for pkg in "${packages[@]}"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
