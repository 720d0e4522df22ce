#!/bin/sh
# lurkel-script-version: 2
# Lurkel: moves items into a folder for the search results window.
#
# Called as: MoveFilesToFolder9a.scpt move_to_folder --from0 LIST DESTINATION
#   LIST is a file of the item paths, each ending in a NUL byte ("-": standard input), so
#   that a selection of any size fits. One record per item goes to standard output as soon as
#   it is known (see "lurkelctl move --help", --results): "done", the item, where it is
#   now; or "failed", the item, the reason; each field ending in a NUL byte.
# The older form, MoveFilesToFolder9a.scpt move_to_folder DESTINATION ITEM..., still works.
# The work is done by "$LURKELCTL move", which never overwrites (a name that is taken gets a
# number) and also reports every item it could not do on standard error, one a line.
set -u
if [ "${1-}" != move_to_folder ]; then
	printf '%s: unknown handler "%s" (expected "move_to_folder")\n' "${0##*/}" "${1-}" >&2
	exit 2
fi
shift
if [ -z "${LURKELCTL-}" ]; then
	printf '%s: LURKELCTL is not set\n' "${0##*/}" >&2
	exit 2
fi
if [ "${1-}" = --from0 ]; then
	if [ $# -ne 3 ]; then
		printf '%s: usage: move_to_folder --from0 LIST DESTINATION\n' "${0##*/}" >&2
		exit 2
	fi
	exec "$LURKELCTL" move --from0 "$2" --results - -- "$3"
fi
# no destination, or nothing to move
[ $# -ge 2 ] || exit 0
exec "$LURKELCTL" move -- "$@"
