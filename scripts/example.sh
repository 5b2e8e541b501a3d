#!/usr/bin/env bash
# The main job, offline: a jitter-attenuation configuration is planned and its registers
# printed, its configuration script and an EEPROM boot image are written, and the same
# configuration is applied to an emulated evaluation board and read back from its chip.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
kovacfg="$here/build/cli/kovacfg"
out="${1:-$here/build/example}"
mkdir -p "$out"
export KOVA_EMULATED_BOARD_STATE="$out/board-state.bin"
rm -f "$KOVA_EMULATED_BOARD_STATE"

config=(--device 40112 --rev 1 --mode JA --xa 114.285 --ic1 19.44 --ic2 25 --oc1 156.25 --oc2 100 --oc3 100:1:3)

echo "== plan"
"$kovacfg" plan "${config[@]}" | grep -v -e '^  *OC[1-3] freq' -e 'VCO freq' -e '^ *$' -e 'List of valid'
echo "== configuration text file, script, EEPROM image"
"$kovacfg" save "$out/ja.txt" "${config[@]}"
"$kovacfg" script -o "$out/ja.mfg" --config "$out/ja.txt"
"$kovacfg" eeprom build --format hex -o "$out/ja.hex" "$out/ja.mfg"
echo "== apply to the emulated board"
"$kovacfg" apply --emulator=40112:1 --config "$out/ja.txt"
echo "== read the chip back"
"$kovacfg" readback --emulator=40112:1 --known IC1=19440000
echo "== status"
"$kovacfg" status --emulator=40112:1
echo "Files written to $out"
# With a display, the desktop application opens on the same configuration and board.
if [ -n "${DISPLAY:-}" ] && [ -x "$here/build/app/windows/kova" ]; then
  echo "== the desktop application (close its window to finish)"
  "$here/build/app/windows/kova" --emulated-board 40112:1 --config "$out/ja.txt" --connect
fi
