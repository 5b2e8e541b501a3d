#!/usr/bin/env bash
# Pictures of the windows of kova under Xvfb, on an emulated KX40112 evaluation board:
# the main window offline and connected in each chip mode, and every child window.
# Usage: scripts/screenshots.sh [BUILD_DIR]; the PNGs go to BUILD_DIR/screenshots/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-$here/build}"
kova="$build/app/windows/kova"
kovacfg="$build/cli/kovacfg"
out="$build/screenshots"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
command -v xvfb-run > /dev/null || { echo "screenshots: xvfb-run is missing (scripts/setup.sh installs it)" >&2; exit 1; }

shot() {  # shot NAME [kova options...]
  local name=$1; shift
  xvfb-run -a -s "-screen 0 1600x1200x24" "$kova" --emulated-board 40112 "$@" --screenshot "$out/$name.png" \
    2> "$work/$name.err" || { cat "$work/$name.err" >&2; echo "screenshots: $name failed" >&2; exit 1; }
  echo "$out/$name.png"
}

# One configuration per chip mode.
"$kovacfg" save "$work/SYN.txt" --device 40112 --rev 1 --mode SYN --xa 50 --oc1 156.25 --oc2 100 --oc3 100:1:3 > /dev/null
"$kovacfg" save "$work/NCO.txt" --device 40112 --rev 1 --mode NCO --xa 100 --oc1 156.25 --oc2 25 > /dev/null
"$kovacfg" save "$work/SS.txt" --device 40112 --rev 1 --mode SS --xa 100 --oc1 100 > /dev/null
"$kovacfg" save "$work/JA.txt" --device 40112 --rev 1 --mode JA --xa 114.285 --ic1 19.44 --ic2 25 \
  --oc1 156.25 --oc2 100 --oc3 100:1:3 > /dev/null
# A device with holdover, hitless switching and limits (the DPLL window shows more groups).
"$kovacfg" save "$work/JA40089.txt" --device 40089 --rev 1 --mode JA --xa 114.285 --ic1 19.44 --ic2 25 \
  --oc1 156.25 --oc2 100 --oc3 100:1:3 > /dev/null

shot main_startup
for mode in SYN NCO SS JA; do
  shot "main_offline_$mode" --config "$work/$mode.txt"
  shot "main_connected_$mode" --config "$work/$mode.txt" --connect
done
shot main_superuser_JA -su --config "$work/JA.txt" --connect
# Every child window, connected in JA as a super-user; one window per line.
windows=(
  ConnectionConfigForm
  InitialConfigForm
  InverseIOFreqForm
  FrequencyCalcForm
  EEPROMForm
  RunScriptForm
  RegisterForm
  BlockXA
  DpllConfigForm
  ApllConfigForm
  ApllTestRegistersForm
  InputRefMonitorForm
  InputConfigForm
  GpioConfigForm
  PhaseAdjustForm
  PhaseMeasureForm
  PowerEstimateForm
  OCSolverForm
  OutputConfigForm
)
for w in "${windows[@]}"; do
  shot "$w" -su --config "$work/JA.txt" --connect --screenshot-window "$w"
done
# Windows that differ offline or per mode: "NAME MODE offline|connected", one per line.
variants=(
  "OCSolverForm SYN offline"
  "OCSolverForm JA offline"
  "OutputConfigForm SYN connected"
  "OutputConfigForm JA offline"
  "RegisterForm JA offline"
  "DpllConfigForm SYN connected"
  "DpllConfigForm JA40089 offline"
  "ApllTestRegistersForm JA offline"
  "InputRefMonitorForm JA offline"
  "InputRefMonitorForm SYN connected"
  "InputConfigForm JA offline"
  "PhaseMeasureForm SYN connected"
  "PowerEstimateForm SYN offline"
)
for v in "${variants[@]}"; do
  read -r w mode how <<< "$v"
  if [ "$how" = connected ]; then
    shot "${w}_${mode}_$how" -su --config "$work/$mode.txt" --connect --screenshot-window "$w"
  else
    shot "${w}_${mode}_$how" -su --config "$work/$mode.txt" --screenshot-window "$w"
  fi
done
shot ConnectionConfigForm_customer --screenshot-window ConnectionConfigForm
shot EEPROMForm_offline --config "$work/JA.txt" --screenshot-window EEPROMForm
