#!/usr/bin/env bash
# Ctrl-C (SIGINT) and SIGTERM end hostsim as usual: the summary is printed,
# the temporary work directory is removed, and the exit code is 128 + the
# signal. Once in an interactive session that waits for its next line, once
# in the middle of a long wait of a scenario.
#   check_interrupt.sh HOSTSIM MODULE SCRATCH
set -u
hostsim=$1 module=$2 scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch/tmp"
failed=0

# Waits until the run has said where it works (its handlers are in place
# by then), sends the signal and checks the outcome.
check() {
  local name=$1 signal=$2 want=$3 pid=$4 out=$5
  for _ in $(seq 200); do
    grep -q 'work directory' "$out" && break
    sleep 0.05
  done
  sleep 0.2
  kill "-$signal" "$pid"
  wait "$pid"
  local rc=$?
  cat "$out"
  if [ "$rc" -ne "$want" ]; then
    echo "FAIL: $name: exit code $rc, expected $want"
    failed=1
  fi
  if ! grep -q -- '---- summary ----' "$out" || ! grep -q 'hostsim: interrupted' "$out"; then
    echo "FAIL: $name: no summary after the interruption"
    failed=1
  fi
  if [ -n "$(ls -A "$scratch/tmp")" ]; then
    echo "FAIL: $name: the work directory was left: $(ls "$scratch/tmp")"
    failed=1
  fi
}

# Interactive: standard input stays open and empty.
mkfifo "$scratch/input"
TMPDIR=$scratch/tmp "$hostsim" --module "$module" --no-color <"$scratch/input" >"$scratch/interactive.txt" 2>&1 &
pid=$!
exec 3>"$scratch/input"
check interactive INT 130 "$pid" "$scratch/interactive.txt"
exec 3>&-

# A scenario in a wait of many ticks.
printf 'connect 6.6\npace 1ms\nwait 1d\n' >"$scratch/long.scn"
TMPDIR=$scratch/tmp "$hostsim" --module "$module" --no-color --quiet "$scratch/long.scn" >"$scratch/long.txt" 2>&1 &
check long_wait TERM 143 "$!" "$scratch/long.txt"

exit "$failed"
