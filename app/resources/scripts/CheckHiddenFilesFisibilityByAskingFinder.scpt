#!/bin/sh
# lurkel-script-version: 2
# Lurkel: tells whether the file manager shows hidden files.
#
# Prints one line ".hidden-files-shown" when the default file manager (else the first
# present one) shows hidden files, and nothing when it does not. Fails when no file
# manager is installed or its setting cannot be read.
set -u
. "${0%/*}/FileManagers.sh"

lk_require_file_manager || exit 3
lk_default=$(lk_default_file_manager) || exit 3
lk_state=$(lk_read "$lk_default") || exit 1
if [ "$lk_state" = 1 ]; then
	printf '%s\n' .hidden-files-shown
fi
exit 0
