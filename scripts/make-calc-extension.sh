#!/usr/bin/env bash
# Packs the Calc extension from the tracked files under calc/extension into OUT (a zip named
# .oxt). With QUARROW_BIN set, that program is packed too, as bin/quarrow.
set -euo pipefail
out=${1:?usage: make-calc-extension.sh OUT.oxt}
root=$(cd "$(dirname "$0")/.." && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
(cd "$root" && git ls-files calc/extension) | while read -r f; do
  mkdir -p "$stage/$(dirname "${f#calc/extension/}")"
  cp "$root/$f" "$stage/${f#calc/extension/}"
done
if [ -n "${QUARROW_BIN:-}" ]; then
  mkdir -p "$stage/bin" && cp "$QUARROW_BIN" "$stage/bin/quarrow"
fi
mkdir -p "$(dirname "$out")"
rm -f "$out"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
(cd "$stage" && /usr/bin/python3 -m zipfile -c "$out" $(ls -A))
echo "wrote $out"
