# ---------------------------------------------------------------------------------------
# The file-manager functions of Lurkel's visibility scripts. The build copies this text
# into each script that uses it, so that an installed script stands on its own.
#
# A file manager counts as present when its program is on PATH. The state that is read is
# the show-hidden preference of the user's default file manager (xdg-mime), else of the
# first present one in the order of LK_ALL; a change is written to every present one, so
# that they never drift apart. The GTK file-chooser keys are written too wherever their
# schema is installed (file dialogs follow them; they are Nautilus's own setting).
#
# Functions talk through global variables named lk_* (POSIX sh has no locals); those that
# answer a value print it, and are called in $(...).
# ---------------------------------------------------------------------------------------

LK_ALL='nautilus nemo caja thunar dolphin pcmanfm-qt pcmanfm'
# Open windows of these do not follow a changed preference: the relaunch variants quit
# and start them again.
# shellcheck disable=SC2034 # not every script relaunches
LK_NOT_LIVE='nemo caja thunar dolphin pcmanfm-qt pcmanfm'
# These write their whole configuration back when they save or quit, which would undo a
# change made while they run: they are quit before the write even by the plain switch.
# shellcheck disable=SC2034 # used by the plain switch only
LK_OVERWRITING='pcmanfm-qt pcmanfm'

LK_GTK4=org.gtk.gtk4.Settings.FileChooser
LK_GTK3=org.gtk.Settings.FileChooser
LK_NEMO=org.nemo.preferences
LK_CAJA=org.mate.caja.preferences

lk_name=${0##*/}
lk_name=${lk_name%.scpt}

lk_fail() {
	printf '%s: %s\n' "$lk_name" "$*" >&2
}

lk_have() {
	command -v "$1" >/dev/null 2>&1
}

# lk_in WORD LIST: the word is one of the blank-separated list.
lk_in() {
	case " $2 " in *" $1 "*) return 0 ;; esac
	return 1
}

# Runs a program with a time limit where timeout(1) exists.
lk_limited() {
	if lk_have timeout; then
		timeout "$@"
	else
		shift
		"$@"
	fi
}

lk_nap() {
	sleep 0.1 2>/dev/null || sleep 1
}

# The XDG base folders (relative values do not count).
case ${XDG_CONFIG_HOME-} in
/*) LK_CONFIG_HOME=$XDG_CONFIG_HOME ;;
*) LK_CONFIG_HOME=$HOME/.config ;;
esac
case ${XDG_DATA_HOME-} in
/*) LK_DATA_HOME=$XDG_DATA_HOME ;;
*) LK_DATA_HOME=$HOME/.local/share ;;
esac
LK_DOLPHIN_PROPS=$LK_DATA_HOME/dolphin/view_properties/global/.directory
LK_DOLPHINRC=$LK_CONFIG_HOME/dolphinrc

# Sets LK_PRESENT to the present file managers, in the order of LK_ALL.
lk_find_present() {
	LK_PRESENT=
	for lk_fm in $LK_ALL; do
		if lk_have "$lk_fm"; then LK_PRESENT="$LK_PRESENT $lk_fm"; fi
	done
	LK_PRESENT=${LK_PRESENT# }
}

# Finds the present file managers; fails, saying so, when there is none.
lk_require_file_manager() {
	lk_find_present
	if [ -z "$LK_PRESENT" ]; then
		lk_fail "no file manager found: none of $LK_ALL is installed (on PATH)"
		return 1
	fi
}

# The file manager whose state counts: the default one when it is present, else the first.
lk_default_file_manager() {
	lk_id=
	if lk_have xdg-mime; then
		lk_id=$(lk_limited 10 xdg-mime query default inode/directory 2>/dev/null) || lk_id=
	fi
	case $(printf '%s' "$lk_id" | tr '[:upper:]' '[:lower:]') in
	*nautilus*) lk_want=nautilus ;;
	*nemo*) lk_want=nemo ;;
	*caja*) lk_want=caja ;;
	*thunar*) lk_want=thunar ;;
	*dolphin*) lk_want=dolphin ;;
	*pcmanfm-qt* | *pcmanfm_qt*) lk_want=pcmanfm-qt ;;
	*pcmanfm*) lk_want=pcmanfm ;;
	*) lk_want= ;;
	esac
	if [ -n "$lk_want" ] && lk_in "$lk_want" "$LK_PRESENT"; then
		printf '%s\n' "$lk_want"
		return 0
	fi
	for lk_fm in $LK_PRESENT; do
		printf '%s\n' "$lk_fm"
		return 0
	done
	return 1
}

# lk_bool VALUE WHAT: prints 1 for a true value, 0 for a false one.
lk_bool() {
	case $1 in
	[Tt][Rr][Uu][Ee] | 1 | [Yy][Ee][Ss] | [Oo][Nn]) echo 1 ;;
	[Ff][Aa][Ll][Ss][Ee] | 0 | [Nn][Oo] | [Oo][Ff][Ff]) echo 0 ;;
	*)
		lk_fail "$2: unexpected value \"$1\""
		return 1
		;;
	esac
}

# --- gsettings -------------------------------------------------------------------------

# lk_gs_has SCHEMA KEY: the schema is installed and has the key.
lk_gs_has() {
	lk_have gsettings && gsettings list-keys "$1" 2>/dev/null | grep -Fqx -- "$2"
}

lk_gs_read() {
	if ! lk_gs_has "$1" "$2"; then
		lk_fail "the gsettings schema $1 (key $2) is not installed"
		return 1
	fi
	lk_v=$(gsettings get "$1" "$2" 2>&1) || {
		lk_fail "gsettings get $1 $2: $lk_v"
		return 1
	}
	lk_bool "$lk_v" "$1 $2"
}

# lk_gs_write SCHEMA KEY 1|0: sets the key and reads it back. Without a session bus
# gsettings may exit 0 and keep nothing; that is a failure here.
lk_gs_write() {
	if [ "$3" = 1 ]; then lk_b=true; else lk_b=false; fi
	if ! lk_gs_has "$1" "$2"; then
		lk_fail "the gsettings schema $1 (key $2) is not installed"
		return 1
	fi
	lk_out=$(gsettings set "$1" "$2" "$lk_b" 2>&1) || {
		lk_fail "gsettings set $1 $2 $lk_b: $lk_out"
		return 1
	}
	lk_now=$(gsettings get "$1" "$2" 2>/dev/null) || lk_now=
	if [ "$lk_now" != "$lk_b" ]; then
		lk_fail "gsettings did not keep $1 $2 = $lk_b (is the session bus running?)${lk_out:+ $lk_out}"
		return 1
	fi
}

# The schema Nautilus reads its show-hidden key from: GTK 4's since Nautilus 43.1, GTK 3's
# before; when only one is installed, that one.
lk_nautilus_schema() {
	lk_gtk4=0
	lk_gtk3=0
	if lk_gs_has "$LK_GTK4" show-hidden; then lk_gtk4=1; fi
	if lk_gs_has "$LK_GTK3" show-hidden; then lk_gtk3=1; fi
	if [ "$lk_gtk4" = 0 ] && [ "$lk_gtk3" = 0 ]; then
		lk_fail "nautilus: no GTK file-chooser schema ($LK_GTK4 or $LK_GTK3) is installed"
		return 1
	fi
	if [ "$lk_gtk4" = 0 ]; then
		echo "$LK_GTK3"
		return 0
	fi
	if [ "$lk_gtk3" = 1 ]; then
		# "GNOME nautilus 43.2"
		lk_version=$(lk_limited 10 nautilus --version 2>/dev/null) || lk_version=
		lk_version=${lk_version##* }
		lk_major=${lk_version%%.*}
		lk_minor=${lk_version#"$lk_major"}
		lk_minor=${lk_minor#.}
		lk_minor=${lk_minor%%.*}
		case $lk_minor in '' | *[!0-9]*) lk_minor=0 ;; esac
		case $lk_major in
		'' | *[!0-9]*) ;;
		*)
			if [ "$lk_major" -lt 43 ] || { [ "$lk_major" -eq 43 ] && [ "$lk_minor" -lt 1 ]; }; then
				echo "$LK_GTK3"
				return 0
			fi
			;;
		esac
	fi
	echo "$LK_GTK4"
}

# Both GTK file-chooser keys, where installed. A failure counts only when Nautilus is
# present, for which they are the file manager's own setting.
lk_write_file_chooser() {
	lk_fc_status=0
	for lk_schema in "$LK_GTK4" "$LK_GTK3"; do
		lk_gs_has "$lk_schema" show-hidden || continue
		if ! lk_gs_write "$lk_schema" show-hidden "$1" && lk_in nautilus "$LK_PRESENT"; then
			lk_fc_status=1
		fi
	done
	return "$lk_fc_status"
}

# --- xfconf (Thunar) ---------------------------------------------------------------------

lk_thunar_read() {
	if ! lk_have xfconf-query; then
		lk_fail "thunar: xfconf-query is not installed"
		return 1
	fi
	lk_v=$(lk_limited 10 xfconf-query -c thunar -p /last-show-hidden 2>&1)
	lk_rc=$?
	if [ "$lk_rc" -ne 0 ]; then
		# never set: Thunar's default, hidden
		case $lk_v in *"does not exist"*)
			echo 0
			return 0
			;;
		esac
		lk_fail "thunar: xfconf-query: $lk_v"
		return 1
	fi
	lk_bool "$lk_v" "thunar /last-show-hidden"
}

lk_thunar_write() {
	if [ "$1" = 1 ]; then lk_b=true; else lk_b=false; fi
	if ! lk_have xfconf-query; then
		lk_fail "thunar: xfconf-query is not installed"
		return 1
	fi
	lk_out=$(lk_limited 10 xfconf-query -c thunar -p /last-show-hidden -n -t bool -s "$lk_b" 2>&1) || {
		lk_fail "thunar: xfconf-query: $lk_out"
		return 1
	}
	lk_now=$(lk_thunar_read) || return 1
	if [ "$lk_now" != "$1" ]; then
		lk_fail "thunar: xfconf did not keep /last-show-hidden = $lk_b"
		return 1
	fi
}

# --- key files (Dolphin, PCManFM, PCManFM-Qt) ------------------------------------------

# lk_ini_get FILE SECTION KEY: prints the value; fails when the file or key is absent.
lk_ini_get() {
	[ -f "$1" ] || return 1
	awk -v want_section="$2" -v want_key="$3" '
		function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t\r]+$/, "", s); return s }
		/^[ \t]*\[.*\][ \t\r]*$/ { s = trim($0); in_section = (substr(s, 2, length(s) - 2) == want_section); next }
		in_section {
			i = index($0, "=")
			if (i > 0 && trim(substr($0, 1, i - 1)) == want_key) { value = trim(substr($0, i + 1)); found = 1 }
		}
		END { if (found) print value; exit !found }' <"$1"
}

# lk_ini_set FILE SECTION KEY VALUE: sets the key and keeps everything else, replacing the
# file in one rename (its mode kept; a link is followed to the file it names).
lk_ini_set() {
	lk_file=$1
	if [ -L "$lk_file" ]; then
		lk_file=$(readlink -f -- "$lk_file") || {
			lk_fail "cannot follow the link $1"
			return 1
		}
	fi
	lk_dir=${lk_file%/*}
	mkdir -p -- "$lk_dir" || return 1
	lk_tmp=$(mktemp "$lk_dir/.lurkel-XXXXXX") || return 1
	lk_src=/dev/null
	if [ -f "$lk_file" ]; then lk_src=$lk_file; fi
	if awk -v want_section="$2" -v want_key="$3" -v want_value="$4" '
		function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t\r]+$/, "", s); return s }
		function put() { if (!done) { print want_key "=" want_value; done = 1 } }
		function flush() { printf "%s", blanks; blanks = "" }
		/^[ \t]*\[.*\][ \t\r]*$/ {
			if (in_section) put()
			flush()
			s = trim($0)
			in_section = (substr(s, 2, length(s) - 2) == want_section)
			if (in_section) seen = 1
			print
			next
		}
		in_section && /^[ \t\r]*$/ { blanks = blanks $0 "\n"; next }
		in_section {
			flush()
			i = index($0, "=")
			if (i > 0 && trim(substr($0, 1, i - 1)) == want_key) { put(); next }
		}
		{ print }
		END {
			if (in_section) put()
			flush()
			if (!seen) {
				if (NR > 0) print ""
				print "[" want_section "]"
				put()
			}
		}' <"$lk_src" >"$lk_tmp"; then
		if [ -f "$lk_file" ]; then
			lk_mode=$(stat -c %a -- "$lk_file" 2>/dev/null) || lk_mode=
		else
			lk_mode=$(printf '%o' "$((0666 & ~$(umask)))")
		fi
		if [ -n "$lk_mode" ]; then chmod "$lk_mode" -- "$lk_tmp"; fi
		if mv -f -- "$lk_tmp" "$lk_file"; then return 0; fi
	fi
	rm -f -- "$lk_tmp"
	lk_fail "cannot write $lk_file"
	return 1
}

# Sets LK_FOUND to the user's configuration file RELATIVE (in $XDG_CONFIG_HOME) when it
# exists, else to the system's first one in $XDG_CONFIG_DIRS, else to the user's path.
lk_config_file() {
	LK_FOUND=$LK_CONFIG_HOME/$1
	[ -e "$LK_FOUND" ] && return 0
	lk_dirs=${XDG_CONFIG_DIRS:-/etc/xdg}
	while [ -n "$lk_dirs" ]; do
		lk_d=${lk_dirs%%:*}
		case $lk_dirs in
		*:*) lk_dirs=${lk_dirs#*:} ;;
		*) lk_dirs= ;;
		esac
		case $lk_d in /*) ;; *) continue ;; esac
		if [ -f "$lk_d/$1" ]; then
			LK_FOUND=$lk_d/$1
			return 0
		fi
	done
}

# lk_config_set RELATIVE SECTION KEY VALUE: writes the user's file, starting from the
# system's copy when the user has none yet (so that its other settings are kept).
lk_config_set() {
	lk_config_file "$1"
	lk_user=$LK_CONFIG_HOME/$1
	if [ "$LK_FOUND" != "$lk_user" ]; then
		mkdir -p -- "${lk_user%/*}" && cp -- "$LK_FOUND" "$lk_user" || {
			lk_fail "cannot copy $LK_FOUND to $lk_user"
			return 1
		}
	fi
	lk_ini_set "$lk_user" "$2" "$3" "$4"
}

# lk_config_get RELATIVE SECTION KEY DEFAULT
lk_config_get() {
	lk_config_file "$1"
	lk_ini_get "$LK_FOUND" "$2" "$3" || printf '%s\n' "$4"
}

# lk_profile_of CMDLINE-FILE: the profile named on a saved or live command line
# (--profile NAME, --profile=NAME, -p NAME), or nothing.
lk_profile_of() {
	tr '\0' '\n' <"$1" 2>/dev/null | awk '
		take { print; exit }
		/^--profile=/ { print substr($0, 11); exit }
		$0 == "--profile" || $0 == "-p" { take = 1 }'
}

# lk_profile FM: the settings profile of PCManFM or PCManFM-Qt that counts: the one its
# running instance uses (or used, while a switch has quit it), else the desktop's own
# (LXDE runs PCManFM with "LXDE", LXQt runs PCManFM-Qt with "lxqt"), else "default".
lk_profile() {
	lk_prof=
	for lk_cmd in "${lk_saved:-/nonexistent}/$1".*; do
		[ -f "$lk_cmd" ] || continue
		lk_prof=$(lk_profile_of "$lk_cmd")
		[ -z "$lk_prof" ] || break
	done
	if [ -z "$lk_prof" ]; then
		for lk_pid in $(lk_running "$1"); do
			lk_prof=$(lk_profile_of "/proc/$lk_pid/cmdline")
			[ -z "$lk_prof" ] || break
		done
	fi
	if [ -z "$lk_prof" ]; then
		case "$1:${XDG_CURRENT_DESKTOP-}" in
		pcmanfm:*LXDE*) lk_prof=LXDE ;;
		pcmanfm-qt:*LXQt*) lk_prof=lxqt ;;
		esac
	fi
	case $lk_prof in "" | . | .. | */*) lk_prof=default ;; esac
	printf '%s\n' "$lk_prof"
}

# lk_pcmanfm_conf FM: its settings file, relative to the configuration folders.
lk_pcmanfm_conf() {
	case $1 in
	pcmanfm-qt) printf '%s\n' "pcmanfm-qt/$(lk_profile pcmanfm-qt)/settings.conf" ;;
	*) printf '%s\n' "pcmanfm/$(lk_profile pcmanfm)/pcmanfm.conf" ;;
	esac
}

# --- one file manager ----------------------------------------------------------------

# lk_read FM: prints 1 when it shows hidden files, 0 when not.
lk_read() {
	case $1 in
	nautilus)
		lk_s=$(lk_nautilus_schema) || return 1
		lk_gs_read "$lk_s" show-hidden
		;;
	nemo) lk_gs_read "$LK_NEMO" show-hidden-files ;;
	caja) lk_gs_read "$LK_CAJA" show-hidden-files ;;
	thunar) lk_thunar_read ;;
	dolphin)
		lk_v=$(lk_ini_get "$LK_DOLPHIN_PROPS" Settings HiddenFilesShown) || lk_v=false
		lk_bool "$lk_v" "dolphin HiddenFilesShown"
		;;
	pcmanfm-qt)
		lk_v=$(lk_config_get "$(lk_pcmanfm_conf pcmanfm-qt)" FolderView ShowHidden false)
		lk_bool "$lk_v" "pcmanfm-qt ShowHidden"
		;;
	pcmanfm)
		lk_v=$(lk_config_get "$(lk_pcmanfm_conf pcmanfm)" ui show_hidden 0)
		lk_bool "$lk_v" "pcmanfm show_hidden"
		;;
	*)
		lk_fail "unknown file manager $1"
		return 1
		;;
	esac
}

# lk_write FM 1|0
lk_write() {
	if [ "$2" = 1 ]; then lk_b=true; else lk_b=false; fi
	case $1 in
	nautilus) lk_nautilus_schema >/dev/null ;; # its keys are the file chooser's, written before
	nemo) lk_gs_write "$LK_NEMO" show-hidden-files "$2" ;;
	caja) lk_gs_write "$LK_CAJA" show-hidden-files "$2" ;;
	thunar) lk_thunar_write "$2" ;;
	dolphin)
		lk_ini_set "$LK_DOLPHIN_PROPS" Settings HiddenFilesShown "$lk_b" || return 1
		lk_global=$(lk_ini_get "$LK_DOLPHINRC" General GlobalViewProps) || lk_global=true
		case $lk_global in [Ff][Aa][Ll][Ss][Ee])
			lk_fail "note: dolphin keeps view properties per folder (GlobalViewProps=false in $LK_DOLPHINRC);" \
				"only folders without their own follow this"
			;;
		esac
		;;
	pcmanfm-qt) lk_config_set "$(lk_pcmanfm_conf pcmanfm-qt)" FolderView ShowHidden "$lk_b" ;;
	pcmanfm) lk_config_set "$(lk_pcmanfm_conf pcmanfm)" ui show_hidden "$2" ;;
	*)
		lk_fail "unknown file manager $1"
		return 1
		;;
	esac
}

# --- running instances ---------------------------------------------------------------

# lk_alive PID...: one of them still runs (a zombie has ended).
lk_alive() {
	for lk_p; do
		lk_stat=
		{ read -r lk_stat <"/proc/$lk_p/stat"; } 2>/dev/null || continue
		lk_stat=${lk_stat##*) }
		case $lk_stat in Z* | X*) continue ;; esac
		return 0
	done
	return 1
}

# The display a program shows its windows on: "DISPLAY|WAYLAND_DISPLAY" (empty when unset).
LK_OUR_DISPLAY="${DISPLAY-}|${WAYLAND_DISPLAY-}"

# lk_display_of PID: the same for a running process, from the environment it started with.
lk_display_of() {
	tr '\0' '\n' 2>/dev/null <"/proc/$1/environ" | awk '
		/^DISPLAY=/ { d = substr($0, 9) }
		/^WAYLAND_DISPLAY=/ { w = substr($0, 17) }
		END { print d "|" w }'
}

# lk_running FM: the process ids of this user's running instances on our display, one a
# line (the file managers of another session of the same user are not ours to restart).
# A child of an instance with the instance's name is a copy it forked on the way to starting
# another program: part of that instance, and gone with it.
lk_running() {
	for lk_proc in /proc/[0-9]*; do
		[ -O "$lk_proc" ] || continue
		lk_comm=
		{ read -r lk_comm <"$lk_proc/comm"; } 2>/dev/null || continue
		[ "$lk_comm" = "$1" ] || continue
		lk_pstat=
		{ read -r lk_pstat <"$lk_proc/stat"; } 2>/dev/null || continue
		lk_pstat=${lk_pstat##*) } # "STATE PPID ..." after the name, which may hold anything
		lk_pstat=${lk_pstat#* }
		lk_pcomm=
		{ read -r lk_pcomm <"/proc/${lk_pstat%% *}/comm"; } 2>/dev/null
		[ "$lk_pcomm" != "$1" ] || continue
		lk_alive "${lk_proc#/proc/}" || continue
		[ "$(lk_display_of "${lk_proc#/proc/}")" = "$LK_OUR_DISPLAY" ] || continue
		printf '%s\n' "${lk_proc#/proc/}"
	done
}

# lk_wait_gone TENTHS PID...: waits until none of them runs, at most TENTHS tenths of a second.
lk_wait_gone() {
	lk_n=$1
	shift
	while lk_alive "$@"; do
		[ "$lk_n" -gt 0 ] || return 1
		lk_n=$((lk_n - 1))
		lk_nap
	done
}

# lk_quit FM PID...: asks the file manager to quit (its own quit option, or SIGTERM where it
# has none) and waits for the processes to end.
lk_quit() {
	lk_qfm=$1
	shift
	case $lk_qfm in
	nemo | caja | thunar | pcmanfm-qt) lk_limited 10 "$lk_qfm" -q </dev/null >/dev/null 2>&1 ;;
	*) kill -TERM "$@" 2>/dev/null ;;
	esac
	lk_wait_gone 50 "$@" && return 0
	kill -TERM "$@" 2>/dev/null
	lk_wait_gone 50 "$@" && return 0
	lk_fail "$lk_qfm did not quit"
	return 1
}

# lk_restart FM CMDLINE-FILE: starts the file manager again, detached, with the arguments
# its earlier instance had (the saved /proc/PID/cmdline; the program, or an interpreter and
# the program, come first in it).
lk_restart() {
	xargs -0 /bin/sh -c '
		fm=$1
		shift
		case ${1-} in
		"$fm" | */"$fm") shift ;;
		*)
			if [ $# -ge 2 ]; then
				case $2 in "$fm" | */"$fm") shift ;; esac
			fi
			shift
			;;
		esac
		if command -v setsid >/dev/null 2>&1; then
			setsid "$fm" "$@" </dev/null >/dev/null 2>&1 &
		else
			"$fm" "$@" </dev/null >/dev/null 2>&1 &
		fi
	' lurkel-relaunch "$1" <"$2"
}

# --- the whole switch ------------------------------------------------------------------

# lk_apply 1|0 RELAUNCH: sets every present file manager to the state; those of the
# RELAUNCH list that run are quit before the write and started again after it.
lk_apply() {
	lk_target=$1
	lk_relaunch=$2
	lk_status=0
	lk_saved=$(mktemp -d "${TMPDIR:-/tmp}/lurkel-relaunch.XXXXXX") || {
		lk_fail "cannot create a temporary folder"
		return 1
	}
	for lk_fm in $LK_PRESENT; do
		lk_in "$lk_fm" "$lk_relaunch" || continue
		lk_pids=$(lk_running "$lk_fm")
		[ -n "$lk_pids" ] || continue
		for lk_pid in $lk_pids; do
			cat "/proc/$lk_pid/cmdline" >"$lk_saved/$lk_fm.$lk_pid" 2>/dev/null || rm -f -- "$lk_saved/$lk_fm.$lk_pid"
		done
		# shellcheck disable=SC2086 # process ids, one word each
		if ! lk_quit "$lk_fm" $lk_pids; then
			lk_status=1
			for lk_pid in $lk_pids; do rm -f -- "$lk_saved/$lk_fm.$lk_pid"; done
		fi
	done

	lk_write_file_chooser "$lk_target" || lk_status=1
	for lk_fm in $LK_PRESENT; do
		lk_write "$lk_fm" "$lk_target" || lk_status=1
	done

	for lk_file in "$lk_saved"/*; do
		[ -s "$lk_file" ] || continue
		lk_fm=${lk_file##*/}
		lk_restart "${lk_fm%.*}" "$lk_file" || {
			lk_fail "cannot start ${lk_fm%.*} again"
			lk_status=1
		}
	done
	rm -rf -- "$lk_saved"
	return "$lk_status"
}
# ---------------------------------------------------------------------------------------
