#!/usr/bin/env bash
# Installs what the Calc extension's tests need: LibreOffice Calc with Python-UNO (with its X11
# window support, so the dialogs can also be driven in a real window on an Xvfb display), and
# poppler for rendering the result sheet to an image. Kept apart from install-deps.sh so
# the main build does not pull in an office suite. Idempotent.
set -euo pipefail
packages=(
  libreoffice-calc libreoffice-core libreoffice-script-provider-python python3-uno
  poppler-utils xvfb
)
bash "$(dirname "$0")/apt-install.sh" --no-recommends "${packages[@]}"
