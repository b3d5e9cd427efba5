#!/usr/bin/env bash
# What a blind user hears: runs liststats under Orca, Debian's screen reader, and checks what
# Orca says after each key, from its debug log (every utterance is logged; no sound device is
# needed). Everything runs privately and is stopped by process id: a virtual X server (Xvfb), a
# session bus, the accessibility bus, the openbox window manager, Orca, the program. Keys are
# typed with xdotool, and the clipboard set with xclip. All of it twice: with Orca's setting
# that speaks an item's position off (its default), then on. Prints the transcripts; exits
# non-zero when something expected was not said, or an item was spoken with a position it should
# not have, or twice.
#   scripts/check-screen-reader.sh          (installs what it needs with apt-get, builds "default")
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

scripts/setup.sh --screen-reader
scripts/build.sh default >/dev/null

work=$(mktemp -d)
pids=()
stop() {
    kill "$1" 2>/dev/null || return 0
    # Orca may not end on SIGTERM without a speech server.
    for _ in $(seq 20); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
# Stops the last process started.
stop_last() {
    stop "${pids[-1]}"
    unset 'pids[-1]'
}
stop_all() {
    while ((${#pids[@]})); do stop_last; done
}
trap 'stop_all; rm -rf "$work"' EXIT
# Starts a command in the background with its output in $work/NAME.log.
run() {
    local name=$1
    shift
    "$@" >"$work/$name.log" 2>&1 &
    pids+=($!)
}

# A private home, so that Orca's settings (under XDG_DATA_HOME) are this script's own.
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime XDG_DATA_HOME=$work/home/.local/share \
    XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
# Waits until a command succeeds, for at most a minute; if it never does, says what did not start,
# and the check fails.
await() {
    local what=$1
    shift
    for _ in $(seq 600); do
        "$@" >/dev/null 2>&1 && return
        sleep 0.1
    done
    echo "$what did not start in a minute" >&2
    exit 1
}
# Xvfb takes a free display itself, and writes its number on file descriptor 3 once it accepts
# clients. -noreset: by default an X server resets when its last client leaves, and refuses
# whoever connects meanwhile; the accessibility bus's launcher comes and goes just before openbox
# starts, which then found no display now and then.
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
await Xvfb test -s "$work/display"
export DISPLAY=:$(head -n 1 "$work/display")
# A private session bus: its address comes back on file descriptor 3.
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >"$work/dbus.log" 2>&1 &
pids+=($!)
await 'The session bus' test -s "$work/bus"
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
export DBUS_SESSION_BUS_ADDRESS
run atspi /usr/libexec/at-spi-bus-launcher --launch-immediately
# Without a window manager the program's window does not take the focus, and the keys typed reach
# nothing.
run openbox openbox
await openbox xdotool get_num_desktops

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
# day: a time of day, HH:MM:SS.ffffff as Orca's log gives it, in microseconds; micros: the same
# since the check began.
# Orca writes its log through a buffer, so what it said after a key is told by the time it was
# said, not by where the log stood when the key was typed.
day() {
    local h m s f
    IFS=':.' read -r h m s f <<<"$1"
    echo $((((10#$h * 60 + 10#$m) * 60 + 10#$s) * 1000000 + 10#${f:0:6}))
}
began=$(day "$(date +%H:%M:%S.%6N)")
micros() {
    local t=$(($(day "$1") - began))
    echo $((t < 0 ? t + 86400000000 : t)) # past midnight
}
# When each key was typed and each program started: what Orca says after one belongs to it.
marks=()
mark() { marks+=("$(micros "$(date +%H:%M:%S.%6N)")"); }
# What is to be heard, in order. hear: the step and an extended regular expression that one
# utterance matches (Orca 43 on Debian 12 and 48 on Debian 13 word some things differently).
# item: the step, the item's text (a regular expression) and its position "N of M"; what Orca
# says after the step's key, up to the next, must hold the item once, and its position once if
# Orca is to speak positions, or else none.
expected=()
hear() { expected+=("say|$1|$2"); }
item() { expected+=("item|$1|$2|$3|$((${#marks[@]} - 1))"); }
# once: the step and an expression that exactly one thing said after the step's key matches.
once() { expected+=("once|$1|$2|$((${#marks[@]} - 1))"); }
key() {
    mark
    xdotool key --clearmodifiers "$1"
    settle
}
start_program() {
    mark
    mkdir -p "$work/$1" && printf '%b' "$2" >"$work/$1/List.txt"
    (cd "$work/$1" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec "$repo/build/default/liststats") >"$work/$1.log" 2>&1 &
    pids+=($!)
    await 'The window' xdotool search --onlyvisible --name '^Form1$'
    settle
}

# Runs Orca with its position setting (enablePositionSpeaking) off or on, false or true, through
# two sessions: one on the list 1, 2, 2, 3, one on a list with "abc" on line 3. Then compares what
# it said with what was expected, and counts the failures in $failures.
listen() {
    positions=$1 log=$work/orca-$1.log expected=() marks=()
    mkdir -p "$XDG_DATA_HOME/orca"
    printf '{"general": {"enablePositionSpeaking": %s}, "pronunciations": {}, "keybindings": {},
 "profiles": {"default": {"profile": ["Default", "default"], "enablePositionSpeaking": %s}}}\n' \
        "$positions" "$positions" >"$XDG_DATA_HOME/orca/user-settings.conf"
    run orca orca --debug-file="$log"
    # Orca 48 logs as it goes; Orca 43 (Debian 12) only in blocks, so its log cannot say when it
    # is ready.
    for _ in $(seq 100); do grep -qF 'SPEECH OUTPUT' "$log" 2>/dev/null && break; sleep 0.1; done
    settle

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
    item 'Shift+Tab back to the list: the selected item' 3 '4 of 4'
    key Up && item 'Up' 2 '3 of 4'
    key Up && item 'Up: an equal item' 2 '2 of 4'
    printf '5\n6\n' | xclip -selection clipboard -i
    key ctrl+v && once 'Ctrl+V: a list from the clipboard' 'List with 2 items'
    item 'Ctrl+V: then its current item' 5 '1 of 2'
    stop_last

    start_program faulty '1\n2\nabc\n4\n'
    hear 'start' 'List with 4 items'
    key Tab && hear 'Tab' '^Mean (push )?button'
    key space && hear 'Space on Mean: an alert' 'alert'
    hear 'Space on Mean: the message' 'Line 3 is not a number'
    key Return && hear 'Return: back on the button' '^Mean (push )?button'
    key shift+Tab && item 'Shift+Tab to the list: the bad item, selected' abc '3 of 4'
    stop_last
    stop_last # Orca

    local said=() saidAt=() line entry step text position from to window items found heard i at=0
    while IFS= read -r line; do
        saidAt+=("$(micros "${line%% *}")")
        said+=("$(sed -E "s/^.*SPEECH OUTPUT: '//; s/' ?\{.*\}$//" <<<"$line")")
    done < <(grep -F 'SPEECH OUTPUT' "$log")
    echo "What Orca said with its position setting $([[ $positions == true ]] && echo on || echo off):"
    printf '  %s\n' "${said[@]}" | grep -vE "^  (tab|space|left shift|return|Up) ?$" || true
    for entry in "${expected[@]}"; do
        if [[ $entry == once\|* ]]; then
            IFS='|' read -r _ step text i <<<"$entry"
            from=${marks[i]} to=${marks[i + 1]:-999999999999} found=0 heard=
            for ((i = 0; i < ${#said[@]}; i++)); do
                if ((saidAt[i] >= from && saidAt[i] < to)) && [[ ${said[i]} =~ $text ]]; then
                    found=$((found + 1)) heard+="\"${said[i]}\" "
                fi
            done
            if ((found == 1)); then
                echo "ok      $step: $heard"
            else
                echo "WRONG   $step: ${heard:-nothing}; expected \"$text\" once"
                failures=$((failures + 1))
            fi
            continue
        fi
        if [[ $entry == item\|* ]]; then
            IFS='|' read -r _ step text position i <<<"$entry"
            from=${marks[i]} to=${marks[i + 1]:-999999999999}
            window=
            for ((i = 0; i < ${#said[@]}; i++)); do
                if ((saidAt[i] >= to)); then break; fi
                if ((saidAt[i] >= from)); then window+="${said[i]}"$'\n'; fi
            done
            at=$i
            items=$(sed -E 's/[0-9]+ of [0-9]+//g' <<<"$window" | grep -cE "^$text([ .,]|$)") || true
            found=$(grep -oE '[0-9]+ of [0-9]+' <<<"$window" | paste -sd '|') || true
            heard=$(grep -E "^$text([ .,]|$)|[0-9]+ of [0-9]+" <<<"$window" | sed 's/.*/"&"/' | paste -sd ' ') || true
            [[ $positions == true ]] || position=
            if ((items == 1)) && [[ $found == "$position" ]]; then
                echo "ok      $step: $heard"
            else
                if [[ -n $position ]]; then position="and \"$position\" once"; else position='without a position'; fi
                echo "WRONG   $step: ${heard:-nothing}; expected \"$text\" once, $position"
                failures=$((failures + 1))
            fi
            continue
        fi
        entry=${entry#say|} step=${entry%%|*} text=${entry#*|} found=-1
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
    checks=$((checks + ${#expected[@]}))
}

checks=0 failures=0
listen false
listen true
stop_all
if ((failures)); then # what the other parts said, for the cause
    for name in xvfb dbus atspi openbox orca numbers faulty; do
        tail -n 5 "$work/$name.log" | sed "s/^/log $name: /"
    done
fi
echo "$((checks - failures)) passed, $failures failed"
((failures == 0))
