#!/usr/bin/env bash
# Draws the report page in headless Chromium and checks the picture shows its charts. Kept out
# of `make test` because Chromium is a large install; `make test-report` runs it.
#   bash scripts/test-report.sh <build directory>
set -euo pipefail
build=${1:-build}
bash "$(dirname "$0")/apt-install.sh" chromium python3-pil
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target test_quarrow
png="$build/report-page.png"
QUARROW_CHROMIUM=chromium QUARROW_REPORT_PNG="$png" \
  "$build/tools/quarrow/test_quarrow" --gtest_filter='ReportPage.*'
echo "test-report: the page as drawn is in $png"
