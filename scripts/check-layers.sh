#!/usr/bin/env bash
# Checks the layering of the sources: a folder includes only itself and the folders below it,
#   resources <- dsp <- sequencer, presets <- state <- plugin <- editor
# with the XML helper (state/XmlDocument.h) below sequencer and presets, the toolkit knowing
# nothing of the plug-in, the panel reaching the plug-in only through its narrow interface, and
# the host interface's types (plugin/VstInterface.h) used only by plugin/ and host/.
#
#   scripts/check-layers.sh [root]     prints every offending include; exits 1 when there is one
#   scripts/check-layers.sh --self-test  checks that an upward include in a scratch tree fails
set -euo pipefail

if [ "${1:-}" = --self-test ]; then
    scratch="$(mktemp -d)"
    trap 'rm -rf "$scratch"' EXIT
    mkdir -p "$scratch/src/dsp" "$scratch/src/plugin"
    printf '#include "dsp/Voice.h"\n' >"$scratch/src/dsp/Good.cpp"
    if ! "$0" "$scratch" >/dev/null 2>&1; then
        echo "layering self-test: a clean tree was refused" >&2
        exit 1
    fi
    printf '#include "plugin/DrumPlugin.h"\n' >"$scratch/src/dsp/Bad.cpp"
    if "$0" "$scratch" >/dev/null 2>&1; then
        echo "layering self-test: dsp including plugin went unnoticed" >&2
        exit 1
    fi
    echo "layering self-test: an upward include is reported"
    exit 0
fi

root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"

# What each folder may include: folder names, or single files as folder/File.h.
declare -A allowed=(
    [resources]="resources"
    [dsp]="dsp resources"
    [sequencer]="sequencer dsp resources state/XmlDocument.h"
    [presets]="presets dsp resources state/XmlDocument.h"
    [state]="state sequencer presets dsp resources"
    [plugin]="plugin state sequencer presets dsp resources"
    [toolkit]="toolkit resources"
    [editor]="editor toolkit plugin state sequencer presets dsp resources"
)
# Plug-in headers the panel must not see: the plug-in object, the host glue and the audio half.
forbidden_for_editor="plugin/DrumPlugin.h plugin/AudioEffect.h plugin/VstInterface.h
plugin/PluginProcessor.h plugin/SequencerConnection.h plugin/PluginController.h"

failures=0
report() {
    echo "layering: $1" >&2
    failures=$((failures + 1))
}

contains() { # word list
    local word="$1"
    shift
    for w in $*; do
        [ "$w" = "$word" ] && return 0
    done
    return 1
}

for folder in "${!allowed[@]}"; do
    dir="$root/src/$folder"
    [ -d "$dir" ] || continue
    while IFS= read -r -d '' file; do
        while IFS= read -r include; do
            [[ "$include" == */* ]] || continue # a header of the same folder, named plainly
            top="${include%%/*}"
            [ -d "$root/src/$top" ] || continue # not one of the source folders
            if ! contains "$top" "${allowed[$folder]}" && ! contains "$include" "${allowed[$folder]}"; then
                report "${file#"$root"/} includes $include"
            elif [ "$folder" = editor ] && contains "$include" "$forbidden_for_editor"; then
                report "${file#"$root"/} includes $include (the panel uses PanelController)"
            fi
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
        if [ "$folder" != plugin ] && grep -q 'vst::' "$file"; then
            report "${file#"$root"/} uses host-interface types (vst::)"
        fi
    done < <(find "$dir" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
done

# The bundled host sees the plug-in's interface types only: the host interface and the private
# request of the bundled tools (the panel screenshot).
if [ -d "$root/host" ]; then
    while IFS= read -r -d '' file; do
        while IFS= read -r include; do
            top="${include%%/*}"
            if [[ "$include" == */* ]] && [ -d "$root/src/$top" ] &&
                [ "$include" != plugin/VstInterface.h ] &&
                [ "$include" != plugin/PanelScreenshot.h ]; then
                report "${file#"$root"/} includes $include"
            fi
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
    done < <(find "$root/host" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
fi

if [ "$failures" -gt 0 ]; then
    echo "layering: $failures include(s) run against the layers" >&2
    exit 1
fi
echo "layering: every include respects the layers"
