#!/bin/sh
# lurkel-script-version: 2
# Lurkel: stores "do not show hidden files" as every present file manager's lasting preference,
# without touching running file managers. Fails when no file manager is installed.
set -u
. "${0%/*}/FileManagers.sh"

lk_require_file_manager || exit 3
lk_apply 0 "" || exit 1
exit 0
