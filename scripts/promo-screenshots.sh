#!/bin/sh
# The promotion windows of the tray application on a virtual X server with a real tray
# (trayer): a local web server plays the maker's host with the three feeds (tools page,
# news, advertisement) and their packages. Pictures into docs/screenshots/ (or the folder
# given), named promo-*.png: the news popup that opens by itself when fresh news arrive,
# the advertisement window under the panel, the tools page ("Help Desk"), the rate dialog
# and the about box.
#
#   scripts/promo-screenshots.sh [OUTPUT_FOLDER]
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs/screenshots}
bin=$here/build/bin
[ -x "$bin/lurkel" ] || { echo "promo-screenshots: build first (make build)" >&2; exit 2; }

demo_name=promo-screenshots
# shellcheck source=scripts/demo-desktop.sh
. "$here/scripts/demo-desktop.sh"
demo_install_missing
root=$(mktemp -d /tmp/lurkel-promo-shots.XXXXXX)
demo_home "$root"

# The maker's host: a feed per page, each naming a tar.gz package of its version.
site=$root/web
feeds=$site/pro-support/lurkel
mkdir -p "$feeds" "$site/packages" "$root/pkg/tools" "$root/pkg/news" "$root/pkg/ads"
cat >"$root/pkg/tools/mactools.html" <<'PAGE'
<html><body style="font-family: sans-serif; margin: 18px">
<h2 style="color:#2e3440">More tools from Brendix</h2>
<table cellspacing="12">
<tr><td><b>Quenby Lab</b><br>Removes applications with everything they left behind.</td>
<td><a href="https://brendix.example/products/quenbylab">Learn more</a></td></tr>
<tr><td><b>Disk Lens</b><br>Shows what fills your disk, folder by folder.</td>
<td><a href="https://brendix.example/products/disklens">Learn more</a></td></tr>
<tr><td><b>Dupe Sweep</b><br>Finds the same photo or song kept twice.</td>
<td><a href="https://brendix.example/products/dupesweep">Learn more</a></td></tr>
</table>
<p style="color:#4c566a">Questions? Write to <a href="mailto:support@brendix.example">support@brendix.example</a>.</p>
</body></html>
PAGE
cat >"$root/pkg/news/news2.html" <<'PAGE'
<html><body style="font-family: sans-serif; margin: 14px">
<h3 style="color:#2e3440">What is new in Lurkel</h3>
<ul>
<li>Disk usage by category: junk, applications, large and old files, duplicates.</li>
<li>Hide and unhide single files from the file manager's menu.</li>
<li>Faster searches on large home folders.</li>
</ul>
<p><a href="https://brendix.example/lurkel/news">Read the whole story</a></p>
</body></html>
PAGE
cat >"$root/pkg/ads/advertisement.htm" <<'PAGE'
<html><body style="font-family: sans-serif; margin: 10px; background: #eceff4">
<h3 style="margin: 0 0 6px 0">Quenby Lab</h3>
<p style="margin: 0">Removes applications with everything they left behind.</p>
<p><a href="https://brendix.example/store/quenbylab">See it in the store</a> &middot; <a href="app://close">Not now</a></p>
</body></html>
PAGE
(cd "$root/pkg/tools" && tar czf "$site/packages/tools-3.tar.gz" mactools.html)
(cd "$root/pkg/news" && tar czf "$site/packages/news-2.tar.gz" news2.html)
(cd "$root/pkg/ads" && tar czf "$site/packages/ads-1.tar.gz" advertisement.htm)
feed() { # ROOT VERSION PACKAGE WIDTH HEIGHT [EXTRA]
    printf '<?xml version="1.0" encoding="utf-8"?>\n<%s><version>%s</version><majorVersion>0</majorVersion><url>/packages/%s</url><width>%s</width><height>%s</height>%s</%s>\n' \
        "$1" "$2" "$3" "$4" "$5" "${6:-}" "$1"
}
feed mac_tools 3 tools-3.tar.gz 713 407 >"$feeds/tools2.xml"
feed news 2 news-2.tar.gz 400 260 >"$feeds/news2.xml"
feed messages 1 ads-1.tar.gz 250 110 '<maxappindex>1</maxappindex>' >"$feeds/messages.xml"
port=$((20000 + $$ % 20000))
python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port" >"$root/web.log" 2>&1 &
pids="$pids $!"
# The welcome dialog was seen; the panel was last left collapsed, where the promotion
# window shows under it.
printf '{"ATEST:WEB_HOST": "http://127.0.0.1:%s", "KEY_welcomeDialogDisplayed": true, "ShowInfo": false, "PanelWindowSateIsDetailed": false}\n' \
    "$port" >"$XDG_CONFIG_HOME/com.brendix.Lurkel-SII.json"

demo_desktop
"$bin/lurkel" >"$root/lurkel.log" 2>&1 &
pids="$pids $!"
# The feeds are read a few seconds after the start; fresh news open by themselves under
# the tray icon.
wait_for 30 xdotool search --onlyvisible --name '^News$'
shot promo-news-popup
xdotool key --window "$(xdotool search --onlyvisible --name '^News$' | head -n 1)" Escape

demo_tray_icon
if ! xdotool search --onlyvisible --name '^Lurkel$' >/dev/null 2>&1; then
    xdotool mousemove $iconx $icony click 1
fi
wait_for 10 xdotool search --onlyvisible --name '^Advertisement$'
shot promo-ads-under-panel

# The tray menu, from the panel's settings button, by keyboard: its eighth item is Help
# Desk, then Rate and About.
menu_item() { # DOWN_PRESSES
    panel=$(xdotool search --onlyvisible --name '^Lurkel$' | head -n 1)
    if [ -z "$panel" ]; then
        xdotool mousemove $iconx $icony click 1
        wait_for 10 xdotool search --onlyvisible --name '^Lurkel$'
        panel=$(xdotool search --onlyvisible --name '^Lurkel$' | head -n 1)
    fi
    eval "$(xdotool getwindowgeometry --shell "$panel")"
    xdotool mousemove $((X + 250 - 18)) $((Y + 24)) click 1
    # Keys sent before the menu is up are lost.
    sleep 1.2
    n=0
    while [ "$n" -lt "$1" ]; do xdotool key Down; n=$((n + 1)); done
    xdotool key Return
}
menu_item 7
wait_for 10 xdotool search --onlyvisible --name '^Tools from the makers'
shot promo-tools-page "$(xdotool search --onlyvisible --name '^Tools from the makers' | head -n 1)"
xdotool key --window "$(xdotool search --onlyvisible --name '^Tools from the makers' | head -n 1)" Escape || true
menu_item 8
wait_for 10 xdotool search --onlyvisible --name '^Rate '
shot promo-rate-dialog "$(xdotool search --onlyvisible --name '^Rate ' | head -n 1)"
xdotool key Escape
menu_item 9
wait_for 10 xdotool search --onlyvisible --name '^About '
shot promo-about-box "$(xdotool search --onlyvisible --name '^About ' | head -n 1)"
echo "$demo_name: the log of the run:"
sed 's/^/  /' "$root/lurkel.log" | head -n 40
