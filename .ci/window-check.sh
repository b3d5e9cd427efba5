#!/usr/bin/env bash
# Run inside a fresh root by .ci/run: README's run command, as a newcomer without a display runs
# it, under xvfb-run. Once the window "Form1" shows on the example list, "Done" (client area
# 224,176, 81 by 33) must end the program with status 0.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ -z ${DISPLAY:-} ]]; then
    # The harness's own tools, not the program's: the run command must not need them.
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends xvfb xauth xdotool >/dev/null
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0"
fi

scripts/run.sh &
program=$!
window=
for _ in $(seq 1800); do # the first run builds the program before it starts
    window=$(xdotool search --onlyvisible --name '^Form1$' 2>/dev/null | head -n 1) || true
    [[ -n $window ]] && break
    kill -0 "$program" 2>/dev/null || break
    sleep 1
done
[[ -n $window ]] || { echo "the window Form1 never showed"; exit 1; }
[[ $(readlink "/proc/$program/exe") == */build/default/liststats ]] || { echo "the window is not build/default/liststats"; exit 1; }
[[ $(readlink "/proc/$program/cwd") == "$PWD/examples" ]] || { echo "not started in examples/"; exit 1; }
echo "window Form1 shown, reading examples/List.txt"
sleep 1
xdotool mousemove --window "$window" 264 192 click 1
status=0
wait "$program" || status=$?
echo "ended on Done with status $status"
exit "$status"
