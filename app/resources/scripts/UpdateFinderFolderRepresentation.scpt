#!/bin/sh
# lurkel-script-version: 2
# Lurkel: makes open file-manager windows show changed hidden flags without a reload.
#
# Called as: UpdateFinderFolderRepresentation.scpt refresh PATH...
# File managers cache a folder's ".hidden" list (GIO for about 7 seconds) and do not watch
# it. So this returns at once and, in the background, waits until that cache has expired
# (LURKEL_REFRESH_DELAY seconds, 7 by default), then sends each item an attribute-change
# event that keeps its times, on which open windows read the item again.
set -u
if [ "${1-}" != refresh ]; then
	printf '%s: unknown handler "%s" (expected "refresh")\n' "${0##*/}" "${1-}" >&2
	exit 2
fi
shift
[ $# -gt 0 ] || exit 0

delay=${LURKEL_REFRESH_DELAY:-7}
case $delay in '' | *[!0-9.]* | *.*.* | .*) delay=7 ;; esac

(
	sleep "$delay" 2>/dev/null || sleep "${delay%%.*}" 2>/dev/null || sleep 7
	for item; do
		case $item in /*) ;; *) continue ;; esac
		# -h: a link is touched itself; its times are its own
		touch -h -c -r "$item" -- "$item" 2>/dev/null || touch -c -r "$item" -- "$item"
	done
) </dev/null >/dev/null 2>&1 &
exit 0
