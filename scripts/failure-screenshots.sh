#!/bin/sh
# Screenshots of what a user is told when something fails, on a virtual X server with a real
# tray (the set-up of screenshots.sh, which installs what is missing): the panel after a
# switch with no file manager installed, and the results window after a move into a folder
# that the user may not write (the file work runs as the unprivileged user "nobody", so this
# needs root):
#
#   scripts/failure-screenshots.sh [OUTPUT_FOLDER]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs/screenshots}
[ "$(id -u)" -eq 0 ] || { echo "failure-screenshots: run as root (the move is made as nobody)" >&2; exit 2; }
[ -x "$here/build/bin/lurkel" ] || { echo "failure-screenshots: build first (make build)" >&2; exit 2; }
bin=$here/build/bin
root=$(mktemp -d /tmp/lurkel-fshots.XXXXXX)
chmod 755 "$root"
mkdir -p "$root/home" "$root/config" "$root/data" "$root/cache" "$root/state" "$root/runtime" "$root/area/src"
chmod 700 "$root/runtime"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" XDG_CACHE_HOME="$root/cache"
export XDG_STATE_HOME="$root/state" XDG_RUNTIME_DIR="$root/runtime"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE
# Files of an unprivileged user, and a folder nobody may write into.
for f in "tax return 2025.pdf" "tax receipts.zip" "tax notes.txt"; do printf 'x\n' > "$root/area/src/$f"; done
mkdir -p "$root/area/Archive (read-only)"
chown -R 65534:65534 "$root/area"
chmod 555 "$root/area/Archive (read-only)"
# lurkelctl does the file work as that user.
cat > "$root/lurkelctl-nobody" <<W
#!/bin/sh
exec setpriv --reuid=65534 --regid=65534 --clear-groups '$bin/lurkelctl' "\$@"
W
chmod 755 "$root/lurkelctl-nobody"
export LURKELCTL="$root/lurkelctl-nobody"
printf '{"KEY_SearchLocation": "%s", "KEY_dontShowNewSearchAlertDialog": true}\n' "$root/area/src" >"$XDG_CONFIG_HOME/com.brendix.Lurkel-SII.json"

display=:$(( 90 + $$ % 100 ))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$root/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY="$display"
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | tr '\n' ' ')
export DBUS_SESSION_BUS_ADDRESS=${bus%% *}
buspid=${bus#* }
pids=""
cleanup() {
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    kill $buspid "$xvfb" 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT INT TERM
wait_for() { limit=$(( $1 * 10 )); shift; i=0
    until "$@" >/dev/null 2>&1; do i=$((i + 1)); [ "$i" -lt "$limit" ] || return 1; sleep 0.1; done; }
shot() { sleep 0.8; import -window root "$out/$1.png"; echo "failure-screenshots: $out/$1.png"; }

wait_for 10 xdpyinfo
openbox >"$root/openbox.log" 2>&1 &
pids="$pids $!"
sleep 0.5
xsetroot -solid '#4c566a'
trayer --edge top --align right --widthtype request --height 28 --SetDockType true --transparent false \
       --tint 0x2e3440 --expand true >"$root/trayer.log" 2>&1 &
pids="$pids $!"
wait_for 10 xdotool search --name '^panel$'
"$bin/lurkel" >"$root/lurkel.log" 2>&1 &
pids="$pids $!"
wait_for 20 xdotool search --onlyvisible --name "Welcome" || true
sleep 1
tray=$(xdotool search --name '^panel$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$tray")"
iconx=$((X + WIDTH - 12)) icony=$((Y + HEIGHT / 2))
xdotool mousemove $iconx $icony click 1
sleep 1
wait_for 10 xdotool search --onlyvisible --name '^Lurkel$'
panel=$(xdotool search --onlyvisible --name '^Lurkel$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$panel")"
# The switch: right end of the switch band.
xdotool mousemove $((X + 250 - 14 - 20)) $((Y + 8 + 31 + 17)) click 1
sleep 2
shot 08-failed-switch

# A search from the panel, then a move of every result into the read-only folder.
xdotool mousemove $((X + 125)) $((Y + 98)) click 1
xdotool type --delay 40 "tax"
xdotool key Return
wait_for 10 xdotool search --onlyvisible --name "Search results"
sleep 1.5
results=$(xdotool search --onlyvisible --name "Search results" | head -n 1)
xdotool windowactivate --sync "$results" || true
eval "$(xdotool getwindowgeometry --shell "$results")"
xdotool mousemove $((X + 150)) $((Y + 70)) click 1
xdotool key ctrl+a
sleep 0.3
# The move button, second from the right of the status bar.
xdotool mousemove $((X + WIDTH - 57)) $((Y + HEIGHT - 40)) click 1
wait_for 10 xdotool search --onlyvisible --name "Select Destination Folder"
sleep 1
xdotool type --delay 20 "$root/area/Archive (read-only)/"
sleep 0.3
xdotool key Return
sleep 3
shot 09-failed-move
