#!/bin/sh
# lurkel-script-version: 2
# Lurkel: switches the file managers' show-hidden preference.
#
# Reads the state of the default file manager and sets every present file manager to the
# opposite. Nautilus (and partly Caja) follow at once; PCManFM and PCManFM-Qt, which would
# write their old setting back, are quit first and started again. Fails when no file
# manager is installed.
set -u
. "${0%/*}/FileManagers.sh"

lk_require_file_manager || exit 3
lk_default=$(lk_default_file_manager) || exit 3
lk_state=$(lk_read "$lk_default") || exit 1
if [ "$lk_state" = 1 ]; then lk_new=0; else lk_new=1; fi
lk_apply "$lk_new" "$LK_OVERWRITING" || exit 1
exit 0
