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
demo_name=failure-screenshots
# shellcheck source=scripts/demo-desktop.sh
. "$here/scripts/demo-desktop.sh"
demo_install_missing
root=$(mktemp -d /tmp/lurkel-fshots.XXXXXX)
chmod 755 "$root"
demo_home "$root"
mkdir -p "$root/area/src"
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

demo_desktop
"$bin/lurkel" >"$root/lurkel.log" 2>&1 &
pids="$pids $!"
wait_for 20 xdotool search --onlyvisible --name "Welcome" || true
sleep 1
demo_tray_icon
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
