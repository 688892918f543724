#!/usr/bin/env bash
# Runs screenview in a real terminal under tmux: keys arrive as PC key codes,
# Escape ends the run, and Ctrl-C leaves a terminal in its usual modes.
# Usage: terminal_check.sh SCREENVIEW SAMPLE_FILE
set -euo pipefail
screenview=$1
sample=$2
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 77; }

session="screenlib-check-$$"
log=$(mktemp)
trap 'tmux -L "$session" kill-server 2>/dev/null || true; rm -f "$log"' EXIT
tmux -L "$session" new-session -d -s "$session" -x 80 -y 25 "bash --norc --noprofile"

pane() { tmux -L "$session" capture-pane -t "$session" -p; }
# Waits up to five seconds for the pane to show a text.
wait_for() {
    for _ in $(seq 50); do
        pane | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    echo "FAILED: the terminal never showed '$1'; it shows:"
    pane
    exit 1
}
start() {
    tmux -L "$session" send-keys -t "$session" "clear; $screenview --terminal $sample form 2>$log; echo EXIT=\$?" Enter
    wait_for "Name:"
}

start
# Attribute bytes become colours: window text 1F (bright white on blue), fields 70
# (black on light grey), the current field 1E (yellow on blue).
colours=$(tmux -L "$session" capture-pane -t "$session" -p -e)
for expected in $'\e[1m\e[36m\e[44m|\e[37m Name:' $'\e[33mJane' $'\e[30m\e[47m        '; do
    grep -qF -- "$expected" <<<"$colours" || { echo "FAILED: no colours ${expected@Q}"; exit 1; }
done
tmux -L "$session" send-keys -t "$session" "Bob" Home Right DC End "!"
wait_for "| Name:     BbJane!"
tmux -L "$session" send-keys -t "$session" F2
wait_for "+<F2>---"
tmux -L "$session" send-keys -t "$session" M-p
wait_for "+<A-p>---"
tmux -L "$session" send-keys -t "$session" Tab "pw" BTab
wait_for "| Password: **    "
wait_for "+<S-Tab>---"
# Each key's name shows on the prompt line of the sample's bd_prompt border.
for pair in PPage:PgUp NPage:PgDn F10:F10 IC:Ins Up:Up Down:Down C-x:C-x; do
    tmux -L "$session" send-keys -t "$session" "${pair%%:*}"
    wait_for "+<${pair##*:}>---"
done
# Escape ends the run, also when a second Escape follows at once.
tmux -L "$session" send-keys -t "$session" Escape Escape
wait_for "EXIT=0"
grep -q "screen_run gave 0" "$log" || { echo "FAILED: Escape did not end the run with 0"; cat "$log"; exit 1; }

start
tmux -L "$session" send-keys -t "$session" C-c
sleep 0.3
tmux -L "$session" send-keys -t "$session" "echo STATUS=\$?" Enter
wait_for "STATUS=130"
tmux -L "$session" send-keys -t "$session" "clear; stty -a | tr ' ' '\n' | grep -x -- '-\?icanon\|-\?echo' | tr '\n' ' '; echo" Enter
wait_for "icanon echo"
echo "1 passed, 0 failed"
