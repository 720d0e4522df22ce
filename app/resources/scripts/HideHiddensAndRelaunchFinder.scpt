#!/bin/sh
# lurkel-script-version: 2
# Lurkel: hides hidden files in every present file manager and relaunches those whose open
# windows would not follow (each running one is quit before the change and started again
# with its earlier arguments). Fails when no file manager is installed.
set -u
. "${0%/*}/FileManagers.sh"

lk_require_file_manager || exit 3
lk_apply 0 "$LK_NOT_LIVE" || exit 1
exit 0
