#!/bin/sh
# Lurkel: moves items into a folder for the search results window.
#
# Called as: MoveFilesToFolder9a.scpt move_to_folder DESTINATION ITEM...
# The work is done by "$LURKELCTL move", which never overwrites (a name that is taken gets a
# number) and reports every item it could not do on standard error, one a line.
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
# no destination, or nothing to move
[ $# -ge 2 ] || exit 0
exec "$LURKELCTL" move -- "$@"
