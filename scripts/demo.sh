#!/usr/bin/env bash
# Builds Zorvik and runs the main job on the bundled demo project (demo/: a 36-receptor AERMOD run over three
# months with its Lovett met file). Results go to out/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
cli=build/src/zorvik-cli
out=out/demo
mkdir -p "$out"
echo "== the POSTFILE"
"$cli" info demo/disc36.pos --plot demo/disc36.plt
echo "== 98th and 99th percentile PLOTFILEs of every receptor"
"$cli" percentile --post demo/disc36.pos --plot demo/disc36.plt --met demo/LOVETT.SFC --percentile 98,99 --out-dir "$out"
echo "== the ordered hours of receptor 1, as the percentile viewer shows them"
"$cli" hours --post demo/disc36.pos --plot demo/disc36.plt --met demo/LOVETT.SFC --receptor 1 --percentile 98 \
  --csv "$out/receptor1.csv" --plotfile "$out/viewer_P98.PLT"
echo "== the 1st to 6th highest 3-, 8- and 24-hour rolling averages of every receptor"
"$cli" rolling --post demo/disc36.pos --plot demo/disc36.plt --met demo/LOVETT.SFC --out-dir "$out"
echo "== design values: the 8th-highest daily maximum hour (US NO2 form), with a CSV table and the top receptors"
"$cli" design --post demo/disc36.pos --plot demo/disc36.plt --met demo/LOVETT.SFC --form us-no2-1h --out-dir "$out"
"$cli" design --post demo/disc36.pos --plot demo/disc36.plt --met demo/LOVETT.SFC --form us-no2-1h --out-dir "$out" \
  --format csv --top 5
echo "== written to $out"
ls -l "$out"
# With a display, the percentile viewer opens on the same project (receptor 1 at the 98th percentile).
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/src/zorvik ]; then
  echo "== the percentile viewer"
  build/src/zorvik --post demo/disc36.pos --plot demo/disc36.plt --met demo/LOVETT.SFC --receptor 1 --percentile 98
fi
