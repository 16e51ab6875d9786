#!/usr/bin/env bash
# Builds Zorvik and runs the main job on the bundled demo project (demo/: a 36-receptor AERMOD run).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
cli=build/src/zorvik-cli
"$cli" info demo/disc36.pos --receptors 36
