#!/bin/sh
# The disk-usage section of the panel on a virtual X server with a real tray (trayer), over
# a generated home with junk, duplicates, large old files and an AppImage: the section
# while it scans, with its four figures, each detail view, and the review of the
# duplicates (the results window) and of the applications. Pictures into docs/screenshots/
# (or the folder given), named disk-usage-*.png:
#
#   scripts/disk-usage-screenshots.sh [OUTPUT_FOLDER]
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs/screenshots}
bin=$here/build/bin
[ -x "$bin/lurkel" ] || { echo "disk-usage-screenshots: build first (make build)" >&2; exit 2; }

demo_name=disk-usage-screenshots
# shellcheck source=scripts/demo-desktop.sh
. "$here/scripts/demo-desktop.sh"
demo_install_missing
root=$(mktemp -d /tmp/lurkel-disk-shots.XXXXXX)
demo_home "$root"
# The scans look in the home of the password database: this one stands in for it.
export LURKEL_TEST_PASSWD_HOME="$HOME"

# Junk: caches, downloads, a Trash not emptied.
mkdir -p "$XDG_CACHE_HOME/thumbnails/large" "$XDG_CACHE_HOME/browser/Cache" "$HOME/Downloads" \
    "$XDG_DATA_HOME/Trash/files" "$XDG_DATA_HOME/Trash/info"
head -c 12000000 /dev/urandom >"$XDG_CACHE_HOME/browser/Cache/data_1"
head -c 3000000 /dev/urandom >"$XDG_CACHE_HOME/thumbnails/large/a1b2.png"
head -c 45000000 /dev/urandom >"$HOME/Downloads/installer-2025.iso"
head -c 2500000 /dev/urandom >"$XDG_DATA_HOME/Trash/files/old draft.odt"
printf '[Trash Info]\nPath=%s/Documents/old%%20draft.odt\nDeletionDate=2026-11-02T10:00:00\n' "$HOME" \
    >"$XDG_DATA_HOME/Trash/info/old draft.odt.trashinfo"
# Duplicates: the same photos and songs kept twice.
mkdir -p "$HOME/Pictures/Holiday" "$HOME/Backup/Phone" "$HOME/Music/Album" "$HOME/Backup/Music"
for n in 1 2 3; do
    head -c $((3000000 + n * 1000)) /dev/urandom >"$HOME/Pictures/Holiday/IMG_00$n.jpg"
    cp "$HOME/Pictures/Holiday/IMG_00$n.jpg" "$HOME/Backup/Phone/IMG_00$n.jpg"
done
head -c 28000000 /dev/urandom >"$HOME/Music/Album/01 Overture.flac"
cp "$HOME/Music/Album/01 Overture.flac" "$HOME/Backup/Music/01 Overture.flac"
# Large and old: not used for half a year.
mkdir -p "$HOME/Videos"
truncate -s 1800000000 "$HOME/Videos/wedding-2019.mkv"
truncate -s 700000000 "$HOME/Videos/screen-recording.webm"
touch -d '200 days ago' "$HOME/Videos/wedding-2019.mkv" "$HOME/Videos/screen-recording.webm"
# An application of the user's own.
mkdir -p "$HOME/Applications"
head -c 95000000 /dev/urandom >"$HOME/Applications/Editor-3.2-x86_64.AppImage"
chmod +x "$HOME/Applications/Editor-3.2-x86_64.AppImage"

demo_desktop
"$bin/lurkel" >"$root/lurkel.log" 2>&1 &
pids="$pids $!"
wait_for 20 xdotool search --onlyvisible --name "Welcome" || wait_for 5 xdotool search --onlyvisible --class lurkel
demo_tray_icon
xdotool mousemove $iconx $icony click 1
wait_for 10 xdotool search --onlyvisible --name '^Lurkel$'
panel=$(xdotool search --onlyvisible --name '^Lurkel$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$panel")"
px=$X py=$Y
# The disclosure under the search field; the section lies 289 points below the panel's top.
xdotool mousemove $((px + 20)) $((py + 135)) click 1
sleep 0.3
import -window "$panel" "$out/disk-usage-scanning.png"
echo "$demo_name: $out/disk-usage-scanning.png"
section=$((py + 289))
sleep 8
shot disk-usage-figures "$panel"

# A category opens its detail view (a one-second slide); the tabs switch at once.
xdotool mousemove $((px + 40)) $((section + 58 + 30 + 12)) click 1
sleep 1.5
shot disk-usage-junk "$panel"
for tab in 1:duplicates 2:large-and-old 3:applications; do
    i=${tab%%:*}
    xdotool mousemove $((px + 1 + i * 62 + 31)) $((section + 37)) click 1
    sleep 0.5
    shot "disk-usage-${tab#*:}" "$panel"
done

# Show Files of the duplicates view (the panel stays above the results window), then of the
# applications view.
xdotool mousemove $((px + 1 + 1 * 62 + 31)) $((section + 37)) click 1
sleep 0.5
xdotool mousemove $((px + 125)) $((section + 234)) click 1
wait_for 10 xdotool search --onlyvisible --name "Duplicate Files"
sleep 1.5
shot disk-usage-review-duplicates "$(xdotool search --onlyvisible --name 'Duplicate Files' | head -n 1)"
xdotool mousemove $((px + 1 + 3 * 62 + 31)) $((section + 37)) click 1
sleep 0.5
xdotool mousemove $((px + 125)) $((section + 234)) click 1
wait_for 10 xdotool search --onlyvisible --name "Applications$"
sleep 2
shot disk-usage-review-applications "$(xdotool search --onlyvisible --name 'Applications$' | head -n 1)"
shot disk-usage-desktop
echo "$demo_name: the log of the run:"
sed 's/^/  /' "$root/lurkel.log" | head -n 40
