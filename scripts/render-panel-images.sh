#!/usr/bin/env bash
# Draws the panel pictures of the documentation with the renderer's headless panel:
#   scripts/render-panel-images.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
render="${1:-build}/vorpalix-render"
out=docs/images
"$render" --screenshot "$out/panel.png"
# WRITE, then the snare's select key: the snare row of the first pattern on the step keys.
"$render" --click 276,330 --click 221,585 --screenshot "$out/panel-write.png"
# WRITE, then RANDOM: the randomizer's caption and its blinking keys.
"$render" --click 276,330 --click 555,445 --screenshot "$out/panel-randomizer.png"
# The preset list button beside the preset name opens the browser.
"$render" --click 937,21 --screenshot "$out/panel-presets.png"
