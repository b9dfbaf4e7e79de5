#!/usr/bin/env bash
# Run by HostRun.OnADisplayTheWindowShowsTheFramesAndTakesTheKeys inside a virtual X display:
#   host_on_display.sh HOST OUT_FOLDER
# Starts the host on its real clock with a window, waits for the level on the screen, then
# presses the Right arrow in that window (through the X server, as a user would) until the
# display shows the demo's cursor gone from its home corner. Prints the two probe pixels, the screen's
# "120,100=RRGGBB 30,430=RRGGBB", and exits 0 when the cursor moved, 1 when it never did.
set -u
host=$1
out=$2
"$host" > "$out/host.out" 2>&1 &
pid=$!
trap 'kill -KILL $pid 2>/dev/null' EXIT
probe() {
    xwd -root -silent -out "$out/screen.xwd" &&
        /usr/bin/convert "$out/screen.xwd" "$out/screen.ppm" &&
        /usr/bin/python3 -c "
from PIL import Image
im = Image.open('$out/screen.ppm').convert('RGB')
print(' '.join('%d,%d=%02X%02X%02X' % ((x, y) + im.getpixel((x, y))) for x, y in ((120, 100), (30, 430))))"
}
# The level is running once its banner shows.
xdotool search --sync --name '^Marlgate Demo$' > /dev/null
for _ in $(seq 1 120); do
    pixels=$(probe)
    [ "${pixels%% *}" = "120,100=FFFFFF" ] && break
    sleep 1
done
sleep 1
for _ in $(seq 1 30); do
    xdotool search --sync --name '^Marlgate Demo$' windowfocus --sync key Right
    sleep 2
    pixels=$(probe)
    if [ "${pixels#* }" = "30,430=182040" ]; then
        echo "$pixels"
        exit 0
    fi
done
echo "$pixels"
exit 1
