#!/bin/sh
# Runs the built tray application as a user meets it, on a virtual X server with a real
# tray (trayer) and a private session bus, clicks through it with xdotool and takes a
# screenshot of each step into docs/screenshots/ (or the folder given):
#
#   scripts/screenshots.sh [OUTPUT_FOLDER]
#
# Steps: the welcome dialog of the first start, the panel opened by a click on the tray
# icon (and walked with Tab), a search typed into the panel, the results window (a deep
# path bar, the filter pop-up, a table the filter empties), the tray menu, the preferences
# window (walked with Tab, automatic freeing ticked), and a second `lurkel` that hands
# over to the first and ends. Nothing of the real user is touched: HOME and the XDG
# folders are temporary.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs/screenshots}
bin=$here/build/bin
[ -x "$bin/lurkel" ] || { echo "screenshots: build first (make build)" >&2; exit 2; }

demo_name=screenshots
# shellcheck source=scripts/demo-desktop.sh
. "$here/scripts/demo-desktop.sh"
demo_install_missing
root=$(mktemp -d /tmp/lurkel-shots.XXXXXX)
demo_home "$root"
mkdir -p "$HOME/Documents/Projects"
for f in report-2026.pdf report-draft.odt .report-notes "Quarterly report.xlsx"; do
    printf 'x\n' > "$HOME/Documents/$f"
done
printf 'x\n' > "$HOME/Documents/Projects/old report.txt"
deep="$HOME/Documents/Projects/Clients/Northwind Traders/2026/Quarterly reviews/Q3/Drafts/Figures/Exports"
mkdir -p "$deep" && printf 'x\n' > "$deep/deep-chart.svg"
printf 'x\n' > "$HOME/Documents/.only-hidden-match"

# The maker's host, played by a local web server with a feed that names a newer version.
mkdir -p "$root/web/pro-support/lurkel"
cat >"$root/web/pro-support/lurkel/appcast.xml" <<'FEED'
<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><title>Lurkel</title>
<item><title>Lurkel 9.0</title>
<sparkle:releaseNotesLink>https://brendix.example/lurkel/notes/9.0.html</sparkle:releaseNotesLink>
<enclosure url="https://brendix.example/download/Lurkel-9.0.AppImage" sparkle:version="900"
 sparkle:shortVersionString="9.0" length="1" type="application/octet-stream"/></item>
</channel></rss>
FEED
port=$(( 20000 + $$ % 20000 ))
python3 -m http.server --bind 127.0.0.1 --directory "$root/web" "$port" >"$root/web.log" 2>&1 &
pids="$pids $!"
# The searches run in the demo Documents (chosen as the custom folder), not in the home of
# the account that runs this.
printf '{"ATEST:WEB_HOST": "http://127.0.0.1:%s", "KEY_SearchLocation": "%s", "KEY_CustomFolderButtonSearchLocation": "%s"}\n' \
    "$port" "$HOME/Documents" "$HOME/Documents" >"$XDG_CONFIG_HOME/com.brendix.Lurkel-SII.json"

demo_desktop

"$bin/lurkel" >"$root/lurkel.log" 2>&1 &
lurkel=$!
pids="$pids $lurkel"
# The first start shows the welcome dialog under the tray icon.
wait_for 20 xdotool search --onlyvisible --name "Welcome"  || wait_for 5 xdotool search --onlyvisible --class lurkel
shot 01-welcome

# A click on the tray icon (the right end of trayer's row) closes it and opens the panel.
demo_tray_icon
xdotool mousemove $iconx $icony click 1
sleep 1
shot 02-panel
panel=$(xdotool search --onlyvisible --name '^Lurkel$' | head -n 1)
tab_walk 02-panel "$panel" 4
xdotool mousemove $((iconx - 120)) $((icony + 110)) click 1 # back into the search field

# A search typed into the panel opens the results window.
wait_for 10 xdotool search --onlyvisible --name '^Lurkel$'
xdotool type --delay 40 "report"
xdotool key Return
wait_for 10 xdotool search --onlyvisible --name "report"
sleep 1.5
shot 03-results
# Ctrl+F, a search for a file eight folders deep: the path bar keeps the last names.
results=$(xdotool search --onlyvisible --name "report" | head -n 1)
xdotool key --window "$results" ctrl+f
xdotool type --delay 40 "deep-chart"
xdotool key Return
sleep 1.5
shot 03b-deep-path "$results"
# A search that finds a hidden file only; the pop-up narrows to regular files: the table
# is empty and says why, nothing is selected and the buttons stay at the right.
xdotool key --window "$results" ctrl+f
xdotool type --delay 40 "only-hidden-match"
xdotool key Return
sleep 1.5
# From the field, Tab passes the four folder buttons and the three filter buttons to the
# pop-up; Space opens it.
xdotool key --window "$results" Tab Tab Tab Tab Tab Tab Tab Tab space
sleep 0.5
shot 03c-filter-popup
xdotool key Down Down Down Return
shot 03d-empty-after-filter "$results"

# The tray menu (right click) and the preferences window (its fourth entry).
xdotool mousemove $iconx $icony click 3
sleep 0.8
shot 04-tray-menu
xdotool key Down Down Down Return
wait_for 10 xdotool search --onlyvisible --name '^Preferences$'
shot 05-preferences
prefs=$(xdotool search --onlyvisible --name '^Preferences$' | head -n 1)
# The first control has the focus; six Tabs reach "automatic freeing", Space ticks it.
tab_walk 05-preferences "$prefs" 6
xdotool key --window "$prefs" space
shot 05b-preferences-auto-free "$prefs"
xdotool key --window "$prefs" Escape || true

# Check for Updates (the fifth entry) against the local host.
xdotool mousemove $iconx $icony click 3
sleep 0.8
xdotool key Down Down Down Down Return
sleep 2
shot 06-check-for-updates
xdotool key Return

# A second copy with a search: it hands the search to the first and ends.
"$bin/lurkel" --search notes "$HOME/Documents" >"$root/second.log" 2>&1 && second=0 || second=$?
echo "screenshots: second copy ended with status $second"
kill -0 "$lurkel" || { echo "screenshots: the first copy is gone" >&2; exit 1; }
sleep 1.5
shot 07-after-second-copy
dbus-send --session --print-reply --dest=com.brendix.Lurkel-SII /com/brendix/Application com.brendix.Application.Quit >/dev/null
wait_for 10 sh -c "! kill -0 $lurkel"
echo "screenshots: the log of the run:"
sed 's/^/  /' "$root/lurkel.log" | head -n 40
[ "$second" -eq 0 ]
