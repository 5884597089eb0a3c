#!/usr/bin/env bash
# The real program under a virtual X server against the sonar simulator, as an
# operator runs a short survey: the project opens, Connect Device, Start,
# Save KSF, a few seconds of recording, Snapshot, quit. Checks the recording
# and its conversion by Filvert, the snapshot (a JPEG of the main window), the
# exit code, that the window fits a 1366 x 768 screen and that a second start
# is refused.
#   desktop_e2e_test.sh BIN_FOLDER
set -u
bin=$1
if ! command -v Xvfb >/dev/null; then
    echo "SKIPPED: Xvfb is not installed (scripts/test installs it: package xvfb)"
    exit 77
fi
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
export HOME=$work/home XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8
unset XDG_CONFIG_HOME LC_ALL LC_MESSAGES
mkdir -p "$HOME/.config/Kestrova" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

"$bin/kestrova-sonar-sim" --command-port 0 --data-port 0 --seconds 60 >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q '^listening' "$work/sim.log" && break; sleep 0.1; done
grep -q '^listening' "$work/sim.log" || fail "the simulator did not start"
read -r _ cmd data <"$work/sim.log"
printf '[Net]\nIP=127.0.0.1\nPORT1=%s\nPORT2=%s\n' "${cmd#command=}" "${data#data=}" \
    >"$HOME/.config/Kestrova/SysCfg.ini"
ksp=$("$bin/kestrova-cli" project create Survey --location "$HOME/KestrovaData") ||
    fail "project create"
project=$(dirname "$ksp")

Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")

# Connect Device at 1 s, Start at 3 s, Save KSF at 4 s, Snapshot at 9 s, quit at 11 s.
QT_QPA_PLATFORM=xcb "$bin/kestrova" --project "$ksp" --command 1:32789 --command 3:32779 \
    --command 4:32783 --command 9:32788 --quit-after 11 --grab "$work/window.png" \
    >"$work/kestrova.log" 2>&1 &
first=$!
sleep 2
QT_QPA_PLATFORM=offscreen "$bin/kestrova" --quit-after 3 >"$work/second.log" 2>&1
second=$?
[ $second -eq 1 ] || fail "a second start was not refused (exit $second)"
grep -q "Kestrova Already Run!" "$work/second.log" || fail "no \"Kestrova Already Run!\": $(cat "$work/second.log")"
wait $first
rc=$?
[ $rc -eq 0 ] || fail "kestrova ended with $rc: $(cat "$work/kestrova.log")"

ksf=$(ls "$project"/Data/*.ksf 2>/dev/null | head -n 1)
[ -n "$ksf" ] || fail "no recording in $project/Data"
[ "$(stat -c %s "$ksf")" -gt 100000 ] || fail "recording too short: $(stat -c %s "$ksf") bytes"
[ "$(head -c 4 "$ksf" | od -An -tx1 | tr -d ' ')" = "0f4b5346" ] || fail "not a KSF file"
jpg=$(ls "$project"/*.jpg 2>/dev/null | head -n 1)
[ -n "$jpg" ] || fail "no snapshot in $project"
[ "$(head -c 3 "$jpg" | od -An -tx1 | tr -d ' ')" = "ffd8ff" ] || fail "the snapshot is no JPEG"
[ -s "$work/window.png" ] || fail "no --grab picture"
w=$((16#$(od -An -tx1 -j16 -N4 "$work/window.png" | tr -d ' ')))
h=$((16#$(od -An -tx1 -j20 -N4 "$work/window.png" | tr -d ' ')))
[ "$w" -le 1366 ] && [ "$h" -le 768 ] || fail "the window is ${w}x${h}, larger than the screen"
grep -q "sysrun,1" "$work/sim.log" || fail "the sonar never got the start line"
# The conversion tool turns the recording into XTF through kestrova-cli export-xtf.
QT_QPA_PLATFORM=offscreen "$bin/Filvert" 1 --out "$work/xtf" --run "$ksf" >/dev/null 2>&1 ||
    fail "Filvert could not convert $ksf"
name=$(basename "$ksf" .ksf)
[ -s "$work/xtf/${name}_HF.xtf" ] && [ -s "$work/xtf/${name}_LF.xtf" ] || fail "no XTF from Filvert"
echo "recording $(stat -c %s "$ksf") bytes, snapshot $(stat -c %s "$jpg") bytes, window ${w}x${h}"
exit 0
