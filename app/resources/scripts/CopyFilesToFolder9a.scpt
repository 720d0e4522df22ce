#!/bin/sh
# lurkel-script-version: 2
# Lurkel: copies items into a folder for the search results window.
#
# Called as: CopyFilesToFolder9a.scpt copy_to_folder --from0 LIST DESTINATION
#   LIST is a file of the item paths, each ending in a NUL byte ("-": standard input), so
#   that a selection of any size fits. One record per item goes to standard output as soon as
#   it is known (see "lurkelctl copy --help", --results): "done", the item, where it is
#   now; or "failed", the item, the reason; each field ending in a NUL byte.
# The older form, CopyFilesToFolder9a.scpt copy_to_folder DESTINATION ITEM..., still works.
# The work is done by "$LURKELCTL copy", which never overwrites (a name that is taken gets a
# number) and also reports every item it could not do on standard error, one a line.
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
if [ "${1-}" = --from0 ]; then
	if [ $# -ne 3 ]; then
		printf '%s: usage: copy_to_folder --from0 LIST DESTINATION\n' "${0##*/}" >&2
		exit 2
	fi
	exec "$LURKELCTL" copy --from0 "$2" --results - -- "$3"
fi
# no destination, or nothing to copy
[ $# -ge 2 ] || exit 0
exec "$LURKELCTL" copy -- "$@"
