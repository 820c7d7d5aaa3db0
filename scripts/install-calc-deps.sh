#!/usr/bin/env bash
# Installs what the Calc extension's test needs: a headless LibreOffice Calc with Python-UNO,
# and poppler for rendering the result sheet to an image. Kept apart from install-deps.sh so
# the main build does not pull in an office suite. Idempotent.
set -euo pipefail
packages=(
  libreoffice-calc-nogui libreoffice-script-provider-python python3-uno
  poppler-utils
)
bash "$(dirname "$0")/apt-install.sh" --no-recommends "${packages[@]}"
