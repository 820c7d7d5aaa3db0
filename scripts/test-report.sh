#!/usr/bin/env bash
# Draws the report page in headless Chromium and checks the picture shows its charts. Kept out
# of `make test` because Chromium is a large install; `make test-report` runs it.
#   bash scripts/test-report.sh <build directory>
set -euo pipefail
build=${1:-build}
need=()
for pkg in chromium python3-pil; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
fi
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target test_quarrow
png="$build/report-page.png"
QUARROW_CHROMIUM=chromium QUARROW_REPORT_PNG="$png" \
  "$build/tools/quarrow/test_quarrow" --gtest_filter='ReportPage.*'
echo "test-report: the page as drawn is in $png"
