#!/usr/bin/env bash
# Installs every build and test dependency of Lurkel on Debian 12 (as root, or
# through sudo). Does nothing, quickly, when everything is already there.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config git
  clang-format clang-tidy
  # Qt 6 (Core, Gui, Widgets, DBus, Network, Svg) and the offscreen/xcb platforms
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins libgl-dev
  # content hashes of the duplicates scan (XXH3)
  libxxhash-dev
  # unpacking the promotion pages' packages (zip and tar)
  libarchive-dev
  # tests
  googletest libgtest-dev libgmock-dev
  dbus dbus-daemon dbus-bin util-linux desktop-file-utils
  # the file-manager scripts' tests: gsettings, glib-compile-schemas and the schemas they switch
  libglib2.0-bin libgtk-4-common libgtk-3-common nemo-data caja-common
  # the Nautilus module, and the file-manager readers its per-user action files are checked with
  libnautilus-extension-dev libglib2.0-dev caja-actions
  # the real dconf back end, whose change signal the settings watcher's test follows
  dconf-service dconf-gsettings-backend
  # the Debian package and its checks
  dpkg-dev lintian appstream man-db bash-completion
  # looking at the program as a user would
  xvfb xauth x11-utils xdotool
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
