#!/usr/bin/env bash
# Runs the program on the current X display, waits for its main window and saves a
# picture of that window. Usage: screenshot.sh PROGRAM OUTPUT.png [SETTLE_SECONDS]
set -u
program=$1
output=$2
settle=${3:-1}

"$program" &
pid=$!
geometry=""
for _ in $(seq 1 60); do
  sleep 0.5
  # The main window: caption "Velmora", 454 x 386 pixels, once it is mapped (the start
  # screen comes first and the window exists before it is shown).
  id=$(xwininfo -root -tree 2>/dev/null | grep '"Velmora"' | grep '454x386' | awk '{print $1; exit}')
  [ -n "$id" ] || continue
  info=$(xwininfo -id "$id" 2>/dev/null)
  if grep -q 'IsViewable' <<<"$info"; then
    x=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
    y=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
    geometry="454x386+$x+$y"
    break
  fi
done
sleep "$settle"
# Without a window manager only the root window can be read, so cut the window out of it.
if [ -n "$geometry" ]; then
  import -window root -crop "$geometry" +repage "$output"
else
  import -window root "$output"
fi
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
[ -s "$output" ]
