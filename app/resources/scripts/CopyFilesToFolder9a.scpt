#!/bin/sh
# Lurkel: copies items into a folder for the search results window.
#
# Called as: CopyFilesToFolder9a.scpt copy_to_folder DESTINATION ITEM...
# The work is done by "$LURKELCTL copy", which never overwrites (a name that is taken gets a
# number) and reports every item it could not do on standard error, one a line.
set -u
if [ "${1-}" != copy_to_folder ]; then
	printf '%s: unknown handler "%s" (expected "copy_to_folder")\n' "${0##*/}" "${1-}" >&2
	exit 2
fi
shift
if [ -z "${LURKELCTL-}" ]; then
	printf '%s: LURKELCTL is not set\n' "${0##*/}" >&2
	exit 2
fi
# no destination, or nothing to copy
[ $# -ge 2 ] || exit 0
exec "$LURKELCTL" copy -- "$@"
