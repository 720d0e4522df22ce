#!/usr/bin/env bash
# The disk-usage engine side by side with the tools people use instead, warm cache, median of
# RUNS rounds (after one warm-up round; a round runs each command of a table once, in turn):
# wall time, CPU time (user + sys) and peak RSS from /usr/bin/time, as markdown tables.
#
#  1. folder size (lurkelctl disk size) against du -s, gdu -n -s and a bare one-thread
#     getdents64 + fstatat loop (the floor), on a generated tree and on /usr; the size is
#     checked against find's sum of the allocated sizes of the non-folders, each inode once;
#  2. the large-file query (files over 20,000,000 bytes, on Lurkel's walker) against
#     find -size +20M and bfs -size +20M on the same trees;
#  3. duplicates (lurkelctl disk duplicates, home folder = a generated tree with GROUPS groups
#     of copies and as many same-size impostors) against jdupes -r and rdfind -dryrun true,
#     with the groups each finds compared.
#
#   bench/disk-bench.sh [ENTRIES] [GROUPS]
# Environment: RUNS (default 5); LURKEL_BENCH_TREE, LURKEL_BENCH_DUPLICATES (folders, generated
# when missing); LURKEL_BENCH_BUILD (a build folder configured already, used instead of a
# Release build in build-bench).
set -euo pipefail
cd "$(dirname "$0")/.."
entries=${1:-330000}
groups=${2:-2000}
runs=${RUNS:-5}

bench/install-peers.sh
./scripts/install-deps.sh
build=${LURKEL_BENCH_BUILD:-build-bench}
[ -n "${LURKEL_BENCH_BUILD:-}" ] ||
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DLURKEL_WITH_WIDGETS=OFF -DLURKEL_TESTS=OFF >/dev/null
cmake --build "$build" --target lurkelctl lurkel_bench_corpus lurkel_bench_size_floor lurkel_bench_size_query \
  lurkel_bench_duplicates_tree >/dev/null
ctl=$(realpath "$build/bin/lurkelctl")
bin=$(realpath "$build/bench")
tree=${LURKEL_BENCH_TREE:-/tmp/lurkel-bench-disk-$entries}
dups=${LURKEL_BENCH_DUPLICATES:-/tmp/lurkel-bench-duplicates-$groups}
if [ ! -d "$tree" ]; then
  "$bin/lurkel_bench_corpus" "$tree" "$entries"
  # a few large files (sparse) for the large-file query
  mkdir -p "$tree/large"
  for i in $(seq 1 40); do truncate -s $((20000000 + i * 1000000)) "$tree/large/file-$i.img"; done
fi
[ -d "$dups" ] || "$bin/lurkel_bench_duplicates_tree" "$dups" "$groups"
export LC_ALL=C
out_dir=$(mktemp -d "${TMPDIR:-/dev/shm}/lurkel-disk-bench.XXXXXX")
trap 'rm -rf "$out_dir"' EXIT
echo "cores: $(nproc), runs: $runs (median), warm cache, load before: $(cut -d' ' -f1-3 /proc/loadavg)"

median() { sort -n | sed -n "$(((runs + 1) / 2))p"; }
ratio() { echo "scale=2; $1 / ($2 + 0.0001)" | bc; }

# add LABEL CMD...: a command of the group being measured. run_group runs every command of
# the group once to warm up, then RUNS rounds of all of them in turn, so that what else the
# machine does weighs on each alike. The output of the last run is kept (outfile[LABEL]).
declare -A wall cpu rss outfile command
order=()
n=0
add() {
  local label=$1
  shift
  n=$((n + 1))
  outfile[$label]=$out_dir/$n.out
  command[$label]=$(printf '%q ' "$@")
  order+=("$label")
}
run_group() {
  local l e u s m i
  declare -A walls cpus rsss
  for l in "${order[@]}"; do eval "${command[$l]}" >/dev/null 2>&1 || true; done
  for ((i = 0; i < runs; i++)); do
    for l in "${order[@]}"; do
      eval "/usr/bin/time -f '%e %U %S %M' -o $out_dir/time ${command[$l]}" >"${outfile[$l]}" 2>/dev/null || true
      read -r e u s m <"$out_dir/time"
      walls[$l]+="$e "
      cpus[$l]+="$(echo "$u + $s" | bc) "
      rsss[$l]+="$m "
    done
  done
  for l in "${order[@]}"; do
    wall[$l]=$(printf '%s\n' ${walls[$l]} | median)
    cpu[$l]=$(printf '%s\n' ${cpus[$l]} | median)
    rss[$l]=$(printf '%s\n' ${rsss[$l]} | median)
  done
}

# table BASE RESULT-COLUMN: one row per command, RESULT from result LABEL, ratio to BASE.
table() {
  local base=$1 what=$2
  echo "| command | wall s | CPU s | peak RSS KiB | $what | this vs \`$base\` (wall) |"
  echo "|---|---|---|---|---|---|"
  for l in "${order[@]}"; do
    echo "| \`$l\` | ${wall[$l]} | ${cpu[$l]} | ${rss[$l]} | $(result "$l") | $(ratio "${wall[$base]}" "${wall[$l]}")x faster |"
  done
}

find_sum() {
  find "$1" -xdev ! -type d -printf '%i %b\n' 2>/dev/null | sort -u | awk '{s+=$2*512} END{printf "%.0f\n", s}'
}

size_tree() {
  local name=$1 dir=$2
  echo
  echo "## $name: $dir ($(find "$dir" -xdev ! -type d 2>/dev/null | wc -l) files, $(find "$dir" -xdev -type d 2>/dev/null | wc -l) folders)"
  echo
  echo "### folder size"
  order=()
  result() {
    case $1 in
    du*) echo "$(cut -f1 "${outfile[$1]}") (folders included)" ;;
    gdu*) tr -s ' ' <"${outfile[$1]}" | sed 's/^ //' | cut -d' ' -f1-2 ;;
    lurkelctl*) sed -E 's/.*\(([0-9]+) bytes\).*/\1/' "${outfile[$1]}" ;;
    *) cat "${outfile[$1]}" ;;
    esac
  }
  add "lurkelctl disk size" "$ctl" disk size "$dir"
  add "du -s -B1" du -s -B1 "$dir"
  add "gdu -n -s" gdu -n -s "$dir"
  add "getdents64 + fstatat floor (1 thread)" "$bin/lurkel_bench_size_floor" "$dir"
  run_group
  table "du -s -B1" "bytes"
  local ours expected
  ours=$(result "lurkelctl disk size")
  expected=$(find_sum "$dir")
  echo
  echo "size $ours, find's sum $expected: $([ "$ours" = "$expected" ] && echo equal || echo DIFFERENT);" \
    "vs du -s: $(ratio "${wall[du -s -B1]}" "${wall[lurkelctl disk size]}")x;" \
    "the floor's time / ours: $(ratio "${wall[getdents64 + fstatat floor (1 thread)]}" "${wall[lurkelctl disk size]}")"

  echo
  echo "### files over 20,000,000 bytes"
  order=()
  result() { wc -l <"${outfile[$1]}"; }
  add "metadata query (walker)" "$bin/lurkel_bench_size_query" "$dir" 20000000
  add "find -type f -size +20M" find "$dir" -type f -size +20M
  add "bfs -type f -size +20M" bfs "$dir" -type f -size +20M
  run_group
  table "bfs -type f -size +20M" "files"
  echo
  echo "query vs bfs: $(ratio "${wall[bfs -type f -size +20M]}" "${wall[metadata query (walker)]}")x;" \
    "vs find: $(ratio "${wall[find -type f -size +20M]}" "${wall[metadata query (walker)]}")x"
}

# Groups as sorted lines of sorted paths, for comparing the finders.
canonical_jdupes() { python3 -c '
import sys
text = open(sys.argv[1], "rb").read().decode("utf-8", "surrogateescape")
groups = [sorted(p for p in g.split("\n") if p) for g in text.split("\n\n") if g.strip()]
for g in sorted(groups): print("|".join(g))' "$1"; }
canonical_ours() { python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))["duplicates"]
for g in sorted(sorted(g["paths"]) for g in d["groups"]): print("|".join(g))' "$1"; }

duplicates() {
  echo
  echo "## duplicates: $dups ($(find "$dups" -type f | wc -l) files, $(du -sh "$dups" | cut -f1))"
  echo
  order=()
  result() {
    case $1 in
    lurkelctl*) canonical_ours "${outfile[$1]}" | wc -l ;;
    jdupes*) canonical_jdupes "${outfile[$1]}" | wc -l ;;
    rdfind*) grep -c DUPTYPE_FIRST_OCCURRENCE "$out_dir/rdfind.txt" || true ;;
    esac
  }
  add "lurkelctl disk duplicates" env HOME="$dups" LURKEL_TEST_PASSWD_HOME="$dups" XDG_CONFIG_HOME="$out_dir/config" \
    "$ctl" disk duplicates --json
  add "jdupes -r" jdupes -r "$dups"
  add "rdfind -dryrun true" rdfind -dryrun true -outputname "$out_dir/rdfind.txt" "$dups"
  run_group
  table "jdupes -r" "groups"
  canonical_ours "${outfile[lurkelctl disk duplicates]}" >"$out_dir/ours.groups"
  canonical_jdupes "${outfile[jdupes -r]}" >"$out_dir/jdupes.groups"
  echo
  echo "groups the same as jdupes': $(cmp -s "$out_dir/ours.groups" "$out_dir/jdupes.groups" && echo yes || echo NO);" \
    "vs jdupes: $(ratio "${wall[jdupes -r]}" "${wall[lurkelctl disk duplicates]}")x;" \
    "vs rdfind: $(ratio "${wall[rdfind -dryrun true]}" "${wall[lurkelctl disk duplicates]}")x"
}

size_tree "generated tree" "$tree"
size_tree "/usr" /usr
duplicates
