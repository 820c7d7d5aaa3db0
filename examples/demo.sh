#!/usr/bin/env bash
# The main job: the quarrow host trains, predicts and evolves networks on the example
# worksheets, the way a person drives the add-in on a spreadsheet.
#   bash examples/demo.sh <build directory>
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
quarrow="$build/tools/quarrow/quarrow"
sheets="$here/sheets"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
results="$build/demo-results" # kept after the demo: a workbook and a page to open
mkdir -p "$results"

for program in "$quarrow" "$build/examples/xor_example"; do
  if [ ! -x "$program" ]; then
    echo "demo: $program is missing; build the project first" >&2
    exit 1
  fi
done

step() {
  printf '\n==== %s ====\n' "$*"
}

step "1. Exclusive-or through the library's exports (2-2-1 network, both methods)"
"$build/examples/xor_example"

step "2. Classify trees: symbolic input (bark) and symbolic output (kind), TRAIN/TEST rows"
"$quarrow" train "$sheets/trees.csv" --inputs leaf_length,leaf_width,bark,height \
  --outputs kind --mode mode --hidden 6 --epochs 300 --show 6 --save "$work/trees_net.csv" \
  --xlsx "$results/trees.xlsx" --report "$results/trees.html"

step "3. Name the kind of trees not seen before"
"$quarrow" predict "$sheets/trees_new.csv" --net "$work/trees_net.csv"

step "4. Flight distance of a throw: numeric columns with MIN/MAX rows, 16-bit fixed point"
"$quarrow" train "$sheets/throws.csv" --inputs A,B --outputs C --mode D --hidden 8 \
  --method fixed --rate 0.3 --epochs 2000 --chunk 250 --show 6 --save "$work/throws_net.csv"

step "5. Predict distances of new throws"
"$quarrow" predict "$sheets/throws_new.csv" --net "$work/throws_net.csv"

step "6. Search network designs for the throws, keep the winner and predict with it"
"$quarrow" evolve "$sheets/throws.csv" --inputs speed,angle --outputs distance --mode mode \
  --max-noise 0.05 --save "$work/throws_evolved.csv"
"$quarrow" predict "$sheets/throws_new.csv" --net "$work/throws_evolved.csv"

step "7. The genetic supervisor's breeding, its population kept for one more generation"
"$quarrow" evolve "$sheets/throws.csv" --inputs speed,angle --outputs distance --mode mode \
  --search breed --population 6 --generations 3 --max-noise 0.05 \
  --save-pop "$work/population.csv"
"$quarrow" evolve "$sheets/throws.csv" --inputs speed,angle --outputs distance --mode mode \
  --search breed --generations 1 --load-pop "$work/population.csv"

step "8. The trained tree network, unit by unit"
"$quarrow" weights "$work/trees_net.csv" --bins 8

printf '\nDemo finished. The tree classifier of step 2, to open in a spreadsheet program and a\n'
printf 'browser:\n  %s\n  %s\n' "$results/trees.xlsx" "$results/trees.html"
