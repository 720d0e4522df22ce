#!/usr/bin/env bash
# Checks a built Lurkel package: every file that must be there is there with its mode and owner
# and nothing else is; the control fields; lintian finds no error; the AppStream file validates;
# every manual page renders without a warning; the installed paths inside the files name /usr.
# Usage: scripts/check-package.sh lurkel_VERSION_ARCH.deb     (exit 1 with what is wrong)
set -euo pipefail
deb=${1:?usage: check-package.sh PACKAGE.deb}
fail=0
complain() { echo "check-package: $*" >&2; fail=1; }
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
id=com.brendix.Lurkel-SII
programs="lurkel lurkel-launcher lurkelctl lurkel-pluginkit lurkel-hider lurkel-finder-sync"

# path mode: what the package must hold, and nothing more.
expected() {
  for p in $programs; do echo "usr/bin/$p -rwxr-xr-x"; done
  cat <<LIST
usr/lib/$multiarch/nautilus/extensions-4/lurkel-nautilus.so -rw-r--r--
usr/share/applications/$id.desktop -rw-r--r--
usr/share/dbus-1/services/$id.hiderXPC.service -rw-r--r--
usr/share/metainfo/$id.metainfo.xml -rw-r--r--
usr/share/icons/hicolor/scalable/apps/$id.svg -rw-r--r--
usr/share/icons/hicolor/scalable/status/offon_90-symbolic.svg -rw-r--r--
usr/share/icons/hicolor/scalable/status/offon_91-symbolic.svg -rw-r--r--
usr/share/man/man1/lurkel.1.gz -rw-r--r--
usr/share/man/man1/lurkelctl.1.gz -rw-r--r--
usr/share/man/man1/lurkel-launcher.1.gz -rw-r--r--
usr/share/man/man1/lurkel-pluginkit.1.gz -rw-r--r--
usr/share/man/man1/lurkel-hider.1.gz -rw-r--r--
usr/share/man/man1/lurkel-finder-sync.1.gz -rw-r--r--
usr/share/bash-completion/completions/lurkelctl -rw-r--r--
usr/share/zsh/vendor-completions/_lurkelctl -rw-r--r--
usr/share/doc/lurkel/README.md -rw-r--r--
usr/share/doc/lurkel/copyright -rw-r--r--
usr/share/doc/lurkel/changelog.gz -rw-r--r--
LIST
}

# dpkg-deb -c: "MODE OWNER/GROUP SIZE DATE TIME ./PATH"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6, $1, $2 }' | sort > "$work/have"
expected | sort > "$work/want"
while read -r path mode; do
  line=$(awk -v p="$path" '$1 == p' "$work/have")
  if [ -z "$line" ]; then complain "missing: /$path"; continue; fi
  read -r _ have_mode owner <<< "$line"
  [ "$have_mode" = "$mode" ] || complain "/$path has mode $have_mode, wants $mode"
  [ "$owner" = root/root ] || complain "/$path belongs to $owner, wants root/root"
done < "$work/want"
while read -r path _; do
  awk -v p="$path" '$1 == p { found = 1 } END { exit !found }' "$work/want" || complain "unexpected file: /$path"
done < "$work/have"
dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && $2 != "root/root" { print }' | grep . && complain "folders not owned by root"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lurkel ] || complain "Package: $(field Package)"
field Depends | grep -q 'libqt6core6' || complain "Depends lacks the Qt libraries: $(field Depends)"
field Depends | grep -q 'libarchive13' || complain "Depends lacks libarchive: $(field Depends)"
[ "$(field Suggests)" = gnome-shell-extension-appindicator ] || complain "Suggests: $(field Suggests)"
field Recommends >/dev/null 2>&1 && [ -n "$(field Recommends)" ] && complain "Recommends: $(field Recommends)"

# The files that name installed programs name them under /usr.
dpkg-deb -x "$deb" "$work/root"
grep -qx "Exec=/usr/bin/lurkel" "$work/root/usr/share/applications/$id.desktop" ||
  complain "the desktop entry does not start /usr/bin/lurkel"
grep -qx "Exec=/usr/bin/lurkel-hider" "$work/root/usr/share/dbus-1/services/$id.hiderXPC.service" ||
  complain "the bus service does not start /usr/bin/lurkel-hider"
desktop-file-validate "$work/root/usr/share/applications/$id.desktop" || complain "desktop entry invalid"
appstreamcli validate --no-net --pedantic "$work/root/usr/share/metainfo/$id.metainfo.xml" ||
  complain "the AppStream file does not validate"
for page in "$work"/root/usr/share/man/man1/*.1.gz; do
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || complain "man cannot render $(basename "$page")"
  [ -z "$out" ] || complain "$(basename "$page"): $out"
done

# Shell completion offers every command lurkelctl has.
commands=$("$work/root/usr/bin/lurkelctl" --help | awk '/^Commands:/ { on = 1; next } on && NF == 0 { exit } on { print $1 }')
[ -n "$commands" ] || complain "lurkelctl --help lists no commands"
offered=$(bash -c 'source /usr/share/bash-completion/bash_completion
  source "$1"; COMP_WORDS=(lurkelctl ""); COMP_CWORD=1; COMP_LINE="lurkelctl "; COMP_POINT=10
  _lurkelctl; printf "%s\n" "${COMPREPLY[@]}"' _ "$work/root/usr/share/bash-completion/completions/lurkelctl")
for command in $commands; do
  grep -qx "$command" <<< "$offered" || complain "bash completion does not offer \"$command\""
  grep -q "^  '$command:" "$work/root/usr/share/zsh/vendor-completions/_lurkelctl" ||
    complain "zsh completion does not offer \"$command\""
done

# lintian: no error; its warnings are listed.
lintian --fail-on error --tag-display-limit 0 "$deb" > "$work/lintian" 2>&1 || {
  cat "$work/lintian" >&2
  complain "lintian finds errors"
}
grep -E '^[WIP]:' "$work/lintian" || true

[ "$fail" = 0 ] && echo "check-package: $deb is complete"
exit "$fail"
