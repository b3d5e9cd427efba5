#!/usr/bin/env bash
# What a blind user hears: runs liststats under Orca, Debian's screen reader, and checks what
# Orca says after each key, from its debug log (every utterance is logged; no sound device is
# needed). Everything runs privately and is stopped by process id: a virtual X server (Xvfb), a
# session bus, the accessibility bus, the openbox window manager, Orca, the program. Keys are
# typed with xdotool. Prints the transcript; exits non-zero when something expected was not said.
#   scripts/check-screen-reader.sh          (installs what it needs with apt-get, builds "default")
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

scripts/setup.sh --screen-reader
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" >/dev/null

work=$(mktemp -d)
pids=()
stop_all() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        kill "$pid" 2>/dev/null || continue
        # Orca may not end on SIGTERM without a speech server.
        for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    pids=()
}
trap 'stop_all; rm -rf "$work"' EXIT
# Starts a command in the background with its output in $work/NAME.log.
run() {
    local name=$1
    shift
    "$@" >"$work/$name.log" 2>&1 &
    pids+=($!)
}

export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
for ((display = 90; display < 190; display++)); do
    [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]] || break
done
export DISPLAY=:$display
run xvfb Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
# A private session bus: its address comes back on file descriptor 3.
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >"$work/dbus.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [[ -s $work/bus ]] && break; sleep 0.1; done
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
export DBUS_SESSION_BUS_ADDRESS
run atspi /usr/libexec/at-spi-bus-launcher --launch-immediately
run openbox openbox
log=$work/orca-debug.log
run orca orca --debug-file="$log"

# Waits until Orca has said all it will: its log has not grown for a second (at most 10 s).
settle() {
    local size last=-1 quiet=0
    for _ in $(seq 40); do
        size=$(stat -c %s "$log" 2>/dev/null || echo 0)
        if ((size == last)); then
            ((++quiet >= 4)) && return
        else
            quiet=0
        fi
        last=$size
        sleep 0.25
    done
}
# What is to be heard, in order: the step and an extended regular expression that one utterance
# matches. Orca 43 (Debian 12) and 48 (Debian 13) word some things differently.
expected=()
hear() { expected+=("$1|$2"); }
key() {
    xdotool key --clearmodifiers "$1"
    settle
}
start_program() {
    mkdir -p "$work/$1" && printf '%b' "$2" >"$work/$1/List.txt"
    (cd "$work/$1" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec "$repo/build/default/liststats") >"$work/$1.log" 2>&1 &
    pids+=($!)
    sleep 1
    settle
}
for _ in $(seq 100); do grep -qF 'SPEECH OUTPUT' "$log" 2>/dev/null && break; sleep 0.1; done
settle

# One session on the list 1, 2, 2, 3, and one on a list with "abc" on line 3.
start_program numbers '1\n2\n2\n3\n'
hear 'start: the window' '^Form1 frame'
hear 'start: the list' 'List with 4 items'
key Tab && hear 'Tab' '^Mean (push )?button'
key space && hear 'Space on Mean: the result' 'Mean: 2\.?$'
key Tab && hear 'Tab' '^Mode (push )?button'
key space && hear 'Space on Mode: the result' 'Mode: 2 with 2 ocurrances\.?$'
key Tab && hear 'Tab' '^Done (push )?button'
key Tab && hear 'Tab to the result' '^Mode: 2 with 2 ocurrances (label|The latest result)'
for _ in 1 2 3 4; do key shift+Tab; done
hear 'Shift+Tab back to the list: the selected item and where' '^3, 4 of 4'
key Up && hear 'Up' '^2, 3 of 4'
key Up && hear 'Up: an equal item, told apart' '^2, 2 of 4'
program=${pids[-1]}
kill "$program" && wait "$program" 2>/dev/null || true
unset 'pids[-1]'

start_program faulty '1\n2\nabc\n4\n'
hear 'start' 'List with 4 items'
key Tab && hear 'Tab' '^Mean (push )?button'
key space && hear 'Space on Mean: an alert' 'alert'
hear 'Space on Mean: the message' 'Line 3 is not a number'
key Return && hear 'Return: back on the button' '^Mean (push )?button'
key shift+Tab && hear 'Shift+Tab to the list: the bad item, selected' '^abc, 3 of 4'
stop_all

mapfile -t said < <(grep -F 'SPEECH OUTPUT' "$log" | sed -E "s/^.*SPEECH OUTPUT: '//; s/' ?\{.*\}$//")
echo "What Orca said:"
printf '  %s\n' "${said[@]}" | grep -vE "^  (tab|space|left shift|return|Up) ?$" || true
failures=0 at=0
for item in "${expected[@]}"; do
    step=${item%%|*} text=${item#*|} found=-1
    for ((i = at; i < ${#said[@]}; i++)); do
        if [[ ${said[i]} =~ $text ]]; then found=$i; break; fi
    done
    if ((found < 0)); then
        echo "MISSING $step: \"$text\""
        failures=$((failures + 1))
    else
        echo "ok      $step: \"${said[found]}\""
        at=$((found + 1))
    fi
done
echo "$((${#expected[@]} - failures)) passed, $failures failed"
((failures == 0))
