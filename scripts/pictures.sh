#!/usr/bin/env bash
# Renders the desktop application's windows into docs/ for the README, without a display: the main window with
# the chart of receptor 1 at the 98th percentile of the demo project, and the rolling average window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
mkdir -p docs
build/src/zorvik --post demo/disc36.pos --plot demo/disc36.plt --met demo/LOVETT.SFC --receptor 1 --percentile 98 \
  --grab docs/main-window.png
build/src/zorvik --grab docs/rolling-window.png --rolling
ls -l docs/*.png
