#!/usr/bin/env bash
# Clones end to end through a Wine COM port: the Linux kestrin-sim serves a pseudo-terminal,
# $WINEPREFIX/dosdevices/com5 leads to it, and kestrin-cli.exe identifies the transceiver, reads
# it and writes it through COM5. What Windows reads must be the very bytes the Linux kestrin-cli
# reads from the same simulator, and what Windows writes must arrive.
# Needs the Linux build's kestrin-sim and kestrin-cli (scripts/test.sh makes them in build/test).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${KESTRIN_WIN_BUILD:-$here/build/windows}
linux_bin=${KESTRIN_LINUX_BIN:-$here/build/test/bin}
if [ ! -x "$linux_bin/kestrin-sim" ] || [ ! -x "$linux_bin/kestrin-cli" ]; then
  echo "COM port check skipped: no Linux kestrin-sim and kestrin-cli in $linux_bin (scripts/test.sh builds them)."
  exit 0
fi
export WINEPREFIX=${WINEPREFIX:-$build/wine}
export ASAN_OPTIONS=detect_leaks=0
tmp=$(mktemp -d)
port="$WINEPREFIX/dosdevices/com5"
sim_pid=""
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  rm -f "$port"
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "COM port check FAILED: $*" >&2; exit 1; }

win() { KESTRIN_SETTINGS_DIR="$tmp/settings-windows" "$here/scripts/windows/wine-run.sh" "$build/bin/kestrin-cli.exe" "$@"; }
lin() { KESTRIN_SETTINGS_DIR="$tmp/settings-linux" "$linux_bin/kestrin-cli" "$@"; }

"$linux_bin/kestrin-sim" --link "$tmp/osprel" --memory "$tmp/radio.qev" --destination 0 \
  >"$tmp/sim.out" 2>"$tmp/sim.err" &
sim_pid=$!
for _ in $(seq 100); do [ -e "$tmp/osprel" ] && break; sleep 0.1; done
[ -e "$tmp/osprel" ] || fail "kestrin-sim did not start: $(cat "$tmp/sim.err")"
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$(readlink -f "$tmp/osprel")" "$port"

win info --port COM5 --yes | tr -d '\r' >"$tmp/info-windows.txt" || fail "info through COM5"
lin info --port "$tmp/osprel" --yes >"$tmp/info-linux.txt" || fail "info on Linux"
diff -u "$tmp/info-linux.txt" "$tmp/info-windows.txt" || fail "info differs"

win read --port COM5 -o "$tmp/windows.qev" --yes >/dev/null || fail "read through COM5"
lin read --port "$tmp/osprel" -o "$tmp/linux.qev" --yes >/dev/null || fail "read on Linux"
cmp "$tmp/linux.qev" "$tmp/windows.qev" || fail "the file read through COM5 differs"

lin edit memory 5 CL_Mch_Freq 146.520000 "$tmp/linux.qev" -o "$tmp/in-use.qev" >/dev/null
lin edit memory 5 CL_Mch_Name WINE "$tmp/in-use.qev" -o "$tmp/edited.qev" >/dev/null
win write --port COM5 "$tmp/edited.qev" --yes >/dev/null || fail "write through COM5"
lin read --port "$tmp/osprel" -o "$tmp/after.qev" --yes >/dev/null || fail "read back on Linux"
lin show memory "$tmp/after.qev" | grep -q WINE || fail "the written name did not arrive"
win read --port COM5 -o "$tmp/after-windows.qev" --yes >/dev/null || fail "read back through COM5"
cmp "$tmp/after.qev" "$tmp/after-windows.qev" || fail "the files read back differ"
echo "COM port check passed: info, read and write through COM5 match Linux."
