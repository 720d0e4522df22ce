# The desktop the screenshot scripts run Lurkel on, sourced by them (POSIX sh):
# shellcheck shell=sh disable=SC2154,SC2034 # out, demo_name: the caller's; iconx, icony: for the caller
#
#   demo_home ROOT       HOME and every XDG folder under ROOT, removed on exit (nothing of
#                        the real user is touched)
#   demo_desktop         a virtual X server with a window manager, a session bus and a real
#                        tray (trayer) along the top; everything started is ended on exit
#   wait_for SECONDS COMMAND...   polls the command until it succeeds
#   shot NAME [WINDOW]   a picture of the screen (or of one window) into $out/NAME.png
#   tab_walk NAME WINDOW COUNT   presses Tab COUNT times in the window, a picture of it
#                        after each, side by side in $out/NAME-tab-walk.png
#
# The caller sets `out` and `demo_name` (the prefix of its messages), and may add the ids
# of processes it starts to `pids`, to be ended with the rest.

pids=""

demo_install_missing() {
    need=""
    command -v Xvfb >/dev/null || need="$need xvfb"
    command -v trayer >/dev/null || need="$need trayer"
    command -v xdotool >/dev/null || need="$need xdotool"
    command -v import >/dev/null || need="$need imagemagick"
    command -v dbus-daemon >/dev/null || need="$need dbus"
    command -v openbox >/dev/null || need="$need openbox"
    command -v xsetroot >/dev/null || need="$need x11-xserver-utils"
    command -v python3 >/dev/null || need="$need python3"
    [ -n "$need" ] || return 0
    # shellcheck disable=SC2086 # package names, one word each
    if [ "$(id -u)" -eq 0 ]; then apt-get install -y --no-install-recommends $need; else sudo apt-get install -y --no-install-recommends $need; fi
}

demo_home() {
    demo_root=$1
    trap demo_cleanup EXIT INT TERM
    mkdir -p "$1/home" "$1/config" "$1/data" "$1/cache" "$1/state" "$1/runtime"
    chmod 700 "$1/runtime"
    export HOME="$1/home" XDG_CONFIG_HOME="$1/config" XDG_DATA_HOME="$1/data" XDG_CACHE_HOME="$1/cache"
    export XDG_STATE_HOME="$1/state" XDG_RUNTIME_DIR="$1/runtime"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE
}

wait_for() {
    limit=$(($1 * 10))
    shift
    i=0
    until "$@" >/dev/null 2>&1; do
        i=$((i + 1))
        [ "$i" -lt "$limit" ] || return 1
        sleep 0.1
    done
}

shot() {
    sleep 0.6
    import -window "${2:-root}" "$out/$1.png"
    echo "$demo_name: $out/$1.png"
}

tab_walk() {
    n=1 pictures=""
    while [ "$n" -le "$3" ]; do
        xdotool key --window "$2" Tab
        sleep 0.4
        import -window "$2" "$demo_root/$1-tab-$n.png"
        pictures="$pictures $demo_root/$1-tab-$n.png"
        n=$((n + 1))
    done
    # shellcheck disable=SC2086 # file names without spaces, made above
    convert $pictures +append "$out/$1-tab-walk.png"
    echo "$demo_name: $out/$1-tab-walk.png"
}

demo_desktop() {
    display=:$((90 + $$ % 100))
    Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$demo_root/xvfb.log" 2>&1 &
    pids="$pids $!"
    export DISPLAY="$display"
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | tr '\n' ' ')
    export DBUS_SESSION_BUS_ADDRESS="${bus%% *}"
    pids="$pids ${bus#* }"
    wait_for 10 xdpyinfo
    openbox >"$demo_root/openbox.log" 2>&1 &
    pids="$pids $!"
    sleep 0.5
    xsetroot -solid '#4c566a'
    trayer --edge top --align right --widthtype request --height 28 --SetDockType true --transparent false \
        --tint 0x2e3440 --expand true >"$demo_root/trayer.log" 2>&1 &
    pids="$pids $!"
    wait_for 10 xdotool search --name '^panel$'
}

# The place of the tray icon (the right end of trayer's row): sets iconx and icony.
demo_tray_icon() {
    tray=$(xdotool search --name '^panel$' | head -n 1)
    eval "$(xdotool getwindowgeometry --shell "$tray")"
    iconx=$((X + WIDTH - 12)) icony=$((Y + HEIGHT / 2))
}

demo_cleanup() {
    # shellcheck disable=SC2086 # process ids, one word each
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    rm -rf "$demo_root"
}
