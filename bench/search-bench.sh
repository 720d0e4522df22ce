#!/usr/bin/env bash
# Name search, side by side, warm cache, on three trees: the synthetic corpus (every kind of
# name), /usr (a real system tree) and a generated home-shaped tree (many small folders, deep
# chains, a few huge flat folders, ".hidden" in one folder of twenty).
#
# Per tree:
#  1. the walker alone (lurkelctl search --count) against bfs and fd finding the same names,
#     and a bare one-thread getdents64 loop as the floor;
#  2. the broad classified search the user sees (lurkelctl search -0 BROAD) against
#     bfs -printf '%p %s %T@' and fd -l (one stat per match), with bytes per item = (peak RSS
#     of the search - peak RSS of the same command finding nothing) / items;
#  3. the same classified search and bfs -printf while a busy loop keeps one core busy.
# Then strace -c of the classified run on /usr: openat calls against what the walk must open.
#
# Prints the median of RUNS runs (after one warm-up run) of wall time, CPU time (user + sys)
# and peak RSS, from /usr/bin/time, as markdown tables.
#
#   bench/search-bench.sh [TEXT] [ENTRIES] [BROAD_TEXT]
# Environment: RUNS (default 5); LURKEL_BENCH_CORPUS, LURKEL_BENCH_HOME (folders, generated
# when missing); LURKEL_BENCH_TREES (default "corpus usr home"); LURKEL_BENCH_BUILD (a build
# folder configured already, used instead of a Release build in build-bench).
set -euo pipefail
cd "$(dirname "$0")/.."
text=${1:-report}
entries=${2:-300000}
broad=${3:-e}
runs=${RUNS:-5}
nothing=lurkel-bench-finds-nothing-zq

bench/install-peers.sh
./scripts/install-deps.sh
build=${LURKEL_BENCH_BUILD:-build-bench}
[ -n "${LURKEL_BENCH_BUILD:-}" ] ||
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DLURKEL_WITH_WIDGETS=OFF -DLURKEL_TESTS=OFF >/dev/null
cmake --build "$build" --target lurkelctl lurkel_bench_corpus lurkel_bench_floor >/dev/null
ctl=$build/bin/lurkelctl
floor=$build/bench/lurkel_bench_floor
corpus=${LURKEL_BENCH_CORPUS:-/tmp/lurkel-bench-corpus-$entries}
home=${LURKEL_BENCH_HOME:-/tmp/lurkel-bench-home-$entries}
[ -d "$corpus" ] || "$build/bench/lurkel_bench_corpus" "$corpus" "$entries"
[ -d "$home" ] || "$build/bench/lurkel_bench_corpus" "$home" "$entries" --home
export LC_ALL=C
out_dir=$(mktemp -d "${TMPDIR:-/dev/shm}/lurkel-bench.XXXXXX")
busy=
cleanup() {
  [ -z "$busy" ] || kill "$busy" 2>/dev/null || true
  rm -rf "$out_dir"
}
trap cleanup EXIT
echo "cores: $(nproc), runs: $runs (median), warm cache, load before: $(cut -d' ' -f1-3 /proc/loadavg)"

median() { sort -n | sed -n "$(((runs + 1) / 2))p"; }

# measure LABEL COUNTMODE CMD...: COUNTMODE is "nul" (NUL-terminated records), "lines" or
# "int" (the output is the count).
declare -A wall cpu rss count
order=()
measure() {
  local label=$1 mode=$2
  shift 2
  "$@" >/dev/null 2>&1 || true # warm-up
  local walls=() cpus=() rsss=() e u s m
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e %U %S %M' -o "$out_dir/time" "$@" >"$out_dir/out" 2>/dev/null || true
    read -r e u s m <"$out_dir/time"
    walls+=("$e")
    cpus+=("$(echo "$u + $s" | bc)")
    rsss+=("$m")
  done
  case $mode in
  nul) count[$label]=$(tr -cd '\0' <"$out_dir/out" | wc -c) ;;
  lines) count[$label]=$(wc -l <"$out_dir/out") ;;
  *) count[$label]=$(tr -d '\n ' <"$out_dir/out") ;;
  esac
  wall[$label]=$(printf '%s\n' "${walls[@]}" | median)
  cpu[$label]=$(printf '%s\n' "${cpus[@]}" | median)
  rss[$label]=$(printf '%s\n' "${rsss[@]}" | median)
  order+=("$label")
}

ratio() { echo "scale=2; $1 / ($2 + 0.0001)" | bc; }

# table BASE: one row per measured command, the ratios against BASE's wall time.
table() {
  local base=$1
  echo "| command | wall s | CPU s | peak RSS KiB | matches | $base wall / this wall |"
  echo "|---|---|---|---|---|---|"
  for l in "${order[@]}"; do
    echo "| \`$l\` | ${wall[$l]} | ${cpu[$l]} | ${rss[$l]} | ${count[$l]} | $(ratio "${wall[$base]}" "${wall[$l]}") |"
  done
}

bench_tree() {
  local name=$1 dir=$2
  echo
  echo "## $name: $dir ($(find "$dir" -mindepth 1 2>/dev/null | wc -l) entries, $(find "$dir" -type d 2>/dev/null | wc -l) folders, $(find "$dir" -name .hidden -type f 2>/dev/null | wc -l) .hidden files)"

  echo
  echo "### walker alone, text '$text'"
  order=()
  measure "lurkelctl search --count $text" int "$ctl" search --count "$text" "$dir"
  measure "bfs -iname *$text* -print0" nul bfs "$dir" -mindepth 1 -iname "*$text*" -print0
  measure "fdfind -u -i -F -0 $text" nul fdfind -u -i -F -0 "$text" "$dir"
  measure "getdents64 floor (1 thread)" int "$floor" "$dir" "$text"
  table "bfs -iname *$text* -print0"
  local walker="lurkelctl search --count $text"
  echo
  echo "walker alone: $(ratio "${wall[bfs -iname *$text* -print0]}" "${wall[$walker]}")x faster than bfs," \
    "$(ratio "${wall[fdfind -u -i -F -0 $text]}" "${wall[$walker]}")x faster than fd (wall)"

  echo
  echo "### broad text '$broad', classified (size and date of every match)"
  order=()
  local ours="lurkelctl search -0 $broad" theirs="bfs -printf '%p %s %T@'"
  measure "$ours" nul "$ctl" search -0 "$broad" "$dir"
  measure "$theirs" lines bfs "$dir" -mindepth 1 -iname "*$broad*" -printf '%p %s %T@\n'
  measure "fdfind -u -i -F -l $broad" lines fdfind -u -i -F -l "$broad" "$dir"
  measure "lurkelctl search --count $broad" int "$ctl" search --count "$broad" "$dir"
  measure "lurkelctl search -0 (finds nothing)" nul "$ctl" search -0 "$nothing" "$dir"
  busy_loop_start
  measure "$ours, one core busy" nul "$ctl" search -0 "$broad" "$dir"
  measure "$theirs, one core busy" lines bfs "$dir" -mindepth 1 -iname "*$broad*" -printf '%p %s %T@\n'
  busy_loop_stop
  table "$theirs"
  local items=${count[$ours]}
  local per_item
  per_item=$(echo "(${rss[$ours]} - ${rss[lurkelctl search -0 (finds nothing)]}) * 1024 / ($items + 0.0001)" | bc)
  echo
  echo "classified: $(ratio "${wall[$theirs]}" "${wall[$ours]}")x bfs -printf's speed (wall)," \
    "CPU $(ratio "${cpu[$ours]}" "${cpu[$theirs]}")x bfs's;" \
    "one core busy: $(ratio "${wall[$theirs, one core busy]}" "${wall[$ours, one core busy]}")x;" \
    "bytes per item: $per_item ($items items)"
}

busy_loop_start() {
  sh -c 'while :; do :; done' &
  busy=$!
}
busy_loop_stop() {
  kill "$busy" 2>/dev/null || true
  wait "$busy" 2>/dev/null || true
  busy=
}

# openat calls of the classified run against what it must open: every folder entered, every
# ".hidden" present, every folder below a matched package (summed for its size), and 10 more
# (the mount table, the root's ancestors). "Of the walk" are the calls relative to an open
# folder or naming the root, a ".hidden" or the mount table; the others are the program's own
# start (libraries, locale files) and the package sums' first folders (opened by path).
strace_openat() {
  local dir=$1
  command -v strace >/dev/null || {
    echo "strace not installed: skipped"
    return
  }
  strace -f -e trace=openat -o "$out_dir/strace" "$ctl" search -0 "$broad" "$dir" >/dev/null 2>&1 || true
  strace -c -f -o "$out_dir/strace-c" "$ctl" search -0 "$broad" "$dir" >/dev/null 2>&1 || true
  local calls failed walk folders hidden packages summed=0 p
  calls=$(grep -c 'openat(' "$out_dir/strace" || true)
  failed=$(grep 'openat(' "$out_dir/strace" | grep -c '= -1' || true)
  walk=$(grep -o 'openat([^,]*, "[^"]*"' "$out_dir/strace" | awk -v root="$dir" -F'"' '
    $1 !~ /AT_FDCWD/ || $2 == root || $2 ~ /\/\.hidden$/ || $2 == "/proc/self/mountinfo" { n++ }
    END { print n + 0 }')
  folders=$(find "$dir" -type d 2>/dev/null | wc -l)
  hidden=$(find "$dir" -name .hidden -type f 2>/dev/null | wc -l)
  packages=$(find "$dir" -mindepth 1 -type d -iname "*$broad*" -regextype posix-extended -iregex \
    '.*\.(app|bundle|framework|plugin|kext|appex|xpc|prefpane|qlgenerator|mdimporter|saver|wdgt|photoslibrary|musiclibrary|rtfd|pages|numbers|key|xcodeproj|xcworkspace|playground)' 2>/dev/null || true)
  while IFS= read -r p; do
    [ -n "$p" ] && summed=$((summed + $(find "$p" -type d | wc -l)))
  done <<<"$packages"
  echo
  echo "### strace, lurkelctl search -0 $broad $dir"
  echo
  echo "| openat calls | failed | of the walk | others (program start, package roots) | folders entered | .hidden files | folders summed for package sizes | bound: folders + .hidden + summed + 10 |"
  echo "|---|---|---|---|---|---|---|---|"
  echo "| $calls | $failed | $walk | $((calls - walk)) | $folders | $hidden | $summed | $((folders + hidden + summed + 10)) |"
  echo
  echo "strace -c -f, the five most frequent calls:"
  awk '/^-/ { n++; next } n == 1 && NF >= 5 { print }' "$out_dir/strace-c" | sort -k4 -n -r | head -5
}

for tree in ${LURKEL_BENCH_TREES:-corpus usr home}; do
  case $tree in
  corpus) bench_tree "synthetic corpus" "$corpus" ;;
  usr) bench_tree "/usr" /usr ;;
  home) bench_tree "home-shaped tree" "$home" ;;
  esac
done
strace_openat /usr
strace_openat "$home"
strace_openat "$corpus"
