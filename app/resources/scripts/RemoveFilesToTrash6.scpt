#!/bin/sh
# lurkel-script-version: 2
# Lurkel: moves items to the Trash for the search results window.
#
# Called as: RemoveFilesToTrash6.scpt remove --from0 LIST
#   LIST is a file of the item paths, each ending in a NUL byte ("-": standard input), so
#   that a selection of any size fits. One record per item goes to standard output as soon as
#   it is known (see "lurkelctl trash --help", --results): "done", the item, where it is
#   now; or "failed", the item, the reason; each field ending in a NUL byte.
# The older form, RemoveFilesToTrash6.scpt remove ITEM..., still works.
# The work is done by "$LURKELCTL trash" (the freedesktop Trash), which also reports every
# item it could not move on standard error, one a line.
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
if [ "${1-}" = --from0 ]; then
	if [ $# -ne 2 ]; then
		printf '%s: usage: remove --from0 LIST\n' "${0##*/}" >&2
		exit 2
	fi
	exec "$LURKELCTL" trash --from0 "$2" --results - --
fi
# nothing to move
[ $# -ge 1 ] || exit 0
exec "$LURKELCTL" trash -- "$@"
