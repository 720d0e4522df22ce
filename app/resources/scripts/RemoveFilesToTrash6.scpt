#!/bin/sh
# Lurkel: moves items to the Trash for the search results window.
#
# Called as: RemoveFilesToTrash6.scpt remove ITEM...
# The work is done by "$LURKELCTL trash" (the freedesktop Trash), which reports every item it
# could not move on standard error, one a line.
set -u
if [ "${1-}" != remove ]; then
	printf '%s: unknown handler "%s" (expected "remove")\n' "${0##*/}" "${1-}" >&2
	exit 2
fi
shift
if [ -z "${LURKELCTL-}" ]; then
	printf '%s: LURKELCTL is not set\n' "${0##*/}" >&2
	exit 2
fi
# nothing to move
[ $# -ge 1 ] || exit 0
exec "$LURKELCTL" trash -- "$@"
