#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# korvana-cli.exe under Wine against korvana-sim: Wine's COM5 is a link to the
# simulator's pseudo-terminal, and every answer is compared with what the
# Linux korvana-cli gives for the same controller.
#
#   tests/windows/cli_wine_e2e.sh LINUX_BIN_DIR WINDOWS_BIN_DIR
#
# LINUX_BIN_DIR holds korvana-sim and korvana-cli, WINDOWS_BIN_DIR
# korvana-cli.exe. The Wine prefix is WINEPREFIX when set, else a private one
# beside WINDOWS_BIN_DIR (made on first use, which takes a while).
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 LINUX_BIN_DIR WINDOWS_BIN_DIR" >&2; exit 2; }
linux_bin=$(realpath "$1")
windows_bin=$(realpath "$2")
wine=$(command -v wine64 || command -v wine || true)
[ -n "$wine" ] || { echo "wine is not installed" >&2; exit 1; }

export WINEPREFIX=${WINEPREFIX:-$(dirname "$windows_bin")/wine}
# A console program needs no display, Mono or Gecko.
export WINEDEBUG=-all DISPLAY= WINEDLLOVERRIDES="mscoree,mshtml="

work=$(mktemp -d)
sim_pid=
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -f "$WINEPREFIX/dosdevices/com5"
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
pass() { echo "ok   $1"; }
fail() {
    echo "FAIL $1"
    failures=$((failures + 1))
}

# The prefix first, so its set-up is not taken for the first command's time.
if [ ! -d "$WINEPREFIX/dosdevices" ]; then
    echo "-- making the Wine prefix $WINEPREFIX"
    "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
fi

# The engine stands still, so the working-time counters do not move between reads.
mkfifo "$work/sim.in"
exec 3<>"$work/sim.in"
"$linux_bin/korvana-sim" --engine off --state "$work/sim.state" <&3 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
    [ -s "$work/sim.out" ] && break
    sleep 0.1
done
pty=$(head -n 1 "$work/sim.out")
[ -c "$pty" ] || { echo "korvana-sim gave no pseudo-terminal:" >&2; cat "$work/sim.err" >&2; exit 1; }
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"

# The Linux tool keeps its history, profile and log in here, not in the home
# folder; a history of its own starts empty, as the Windows build's none.
mkdir -p "$work/data" "$work/state" "$work/config"
linux_cli() {
    XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config" \
        "$linux_bin/korvana-cli" --lang 0 --port "$pty" "$@"
}
# No history in this build: writes need --no-history.
windows_cli() { (cd "$work" && "$wine" "$windows_bin/korvana-cli.exe" --lang 0 --no-history --port COM5 "$@"); }

# Same exit status and the same standard output from both.
compare() {
    local name=$1
    shift
    local lin_rc=0 win_rc=0
    linux_cli "$@" >"$work/$name.linux" 2>"$work/$name.linux.err" || lin_rc=$?
    windows_cli "$@" >"$work/$name.windows" 2>"$work/$name.windows.err" || win_rc=$?
    if [ "$lin_rc" -ne 0 ] || [ "$win_rc" -ne 0 ]; then
        fail "$name: exit status $lin_rc on Linux, $win_rc under Wine"
        cat "$work/$name.linux.err" "$work/$name.windows.err"
    elif ! diff -u "$work/$name.linux" "$work/$name.windows"; then
        fail "$name: the outputs differ"
    elif [ ! -s "$work/$name.linux" ]; then
        fail "$name: no output"
    else
        pass "$name"
    fi
}

compare info info
compare map-csv map get --csv

# A backup is the same file but for the moment it was taken.
linux_cli backup "$work/linux.settings" 2>"$work/backup.linux.err" || true
windows_cli backup 'C:\users\Public\korvana-test.settings' 2>"$work/backup.windows.err" || true
windows_file="$WINEPREFIX/drive_c/users/Public/korvana-test.settings"
if [ ! -s "$work/linux.settings" ] || [ ! -s "$windows_file" ]; then
    fail "backup: no file"
    cat "$work/backup.linux.err" "$work/backup.windows.err"
elif diff <(grep -av '^m_timeStamp' "$work/linux.settings") <(grep -av '^m_timeStamp' "$windows_file") >/dev/null; then
    pass "backup"
else
    fail "backup: the files differ"
fi
rm -f "$windows_file"

# A write under Wine reaches the controller: Linux reads it back.
before=$(linux_cli get m_base.m_switchDelay)
if windows_cli set m_base.m_switchDelay 40 >"$work/set.out" 2>&1 \
    && [ "$(linux_cli get m_base.m_switchDelay)" != "$before" ]; then
    compare get-after-set get m_base.m_switchDelay
else
    fail "set: the value did not change (was $before)"
    cat "$work/set.out"
fi

# A port with nothing behind it fails as it does on Windows.
if "$wine" "$windows_bin/korvana-cli.exe" --lang 0 --port COM9 info >"$work/absent.out" 2>&1; then
    fail "absent port: succeeded"
elif grep -q "COM9" "$work/absent.out"; then
    pass "absent port"
else
    fail "absent port: COM9 not named"
    cat "$work/absent.out"
fi

[ "$failures" -eq 0 ] && echo "all passed" || echo "$failures failed"
[ "$failures" -eq 0 ]
