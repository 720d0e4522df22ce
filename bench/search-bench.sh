#!/usr/bin/env bash
# Name search, side by side on one tree, warm cache: Lurkel's walker alone, lurkelctl search,
# find, bfs, fd, and a bare one-thread getdents64 loop as the floor. Then a broad text with
# classification against bfs -printf (one stat per match). Prints median wall time, CPU
# time and peak memory of RUNS runs, the ratios to Lurkel, and checks that every tool
# reports the same number of matches.
#
#   bench/search-bench.sh [TEXT] [ENTRIES] [BROAD_TEXT]
# Environment: RUNS (default 5), LURKEL_BENCH_CORPUS (folder; generated when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
text=${1:-report}
entries=${2:-300000}
broad=${3:-e}
runs=${RUNS:-5}

bench/install-peers.sh
./scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DLURKEL_WITH_WIDGETS=OFF -DLURKEL_TESTS=OFF >/dev/null
cmake --build build-bench --target lurkelctl lurkel_bench_corpus lurkel_bench_floor >/dev/null
ctl=build-bench/bin/lurkelctl
corpus=${LURKEL_BENCH_CORPUS:-/tmp/lurkel-bench-corpus-$entries}
[ -d "$corpus" ] || build-bench/bench/lurkel_bench_corpus "$corpus" "$entries"
export LC_ALL=C
out_dir=$(mktemp -d "${TMPDIR:-/dev/shm}/lurkel-bench.XXXXXX")
trap 'rm -rf "$out_dir"' EXIT
echo "corpus: $corpus ($(find "$corpus" -mindepth 1 | wc -l) entries), text: '$text', runs: $runs, cores: $(nproc)"

# measure LABEL COUNTMODE CMD...: COUNTMODE is "nul" (count NUL-terminated records) or "int"
# (the output is the count). Prints "label wall cpu rss count".
declare -A wall cpu rss count
order=()
measure() {
  local label=$1 mode=$2; shift 2
  "$@" >/dev/null 2>&1 || true # warm-up
  local walls=() cpus=() rsss=()
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e %U %S %M' -o "$out_dir/time" "$@" >"$out_dir/out" 2>/dev/null || true
    read -r e u s m <"$out_dir/time"
    walls+=("$e"); cpus+=("$(echo "$u + $s" | bc)"); rsss+=("$m")
  done
  if [ "$mode" = nul ]; then count[$label]=$(tr -cd '\0' <"$out_dir/out" | wc -c); else count[$label]=$(tr -d '\n ' <"$out_dir/out"); fi
  wall[$label]=$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
  cpu[$label]=$(printf '%s\n' "${cpus[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
  rss[$label]=$(printf '%s\n' "${rsss[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
  order+=("$label")
}

report() {
  local base=$1
  printf '%-34s %9s %9s %10s %9s %10s %8s\n' tool wall_s cpu_s peak_KiB matches wall/base rss/base
  for l in "${order[@]}"; do
    printf '%-34s %9s %9s %10s %9s %10s %8s\n' "$l" "${wall[$l]}" "${cpu[$l]}" "${rss[$l]}" "${count[$l]}" \
      "$(echo "scale=2; ${wall[$l]} / (${wall[$base]} + 0.0001)" | bc)" \
      "$(echo "scale=2; ${rss[$l]} / ${rss[$base]}" | bc)"
  done
  local first=${count[${order[0]}]} ok=yes
  for l in "${order[@]}"; do [ "${count[$l]}" = "$first" ] || ok=no; done
  echo "same number of matches everywhere: $ok"
}

measure "lurkel walker (--count)" int "$ctl" search --count "$text" "$corpus"
measure "lurkelctl search -0" nul "$ctl" search -0 "$text" "$corpus"
measure "find -iname" nul find "$corpus" -mindepth 1 -iname "*$text*" -print0
measure "bfs -iname" nul bfs "$corpus" -mindepth 1 -iname "*$text*" -print0
measure "fdfind -u -i -F" nul fdfind -u -i -F -0 "$text" "$corpus"
measure "getdents64 floor (1 thread)" int build-bench/bench/lurkel_bench_floor "$corpus" "$text"
report "lurkel walker (--count)"

echo
echo "broad text '$broad' (most entries match), with classification / one stat per match:"
order=()
measure "lurkelctl search -0 (classified)" nul "$ctl" search -0 "$broad" "$corpus"
measure "bfs -iname -printf '%p %s %T@'" nul bfs "$corpus" -mindepth 1 -iname "*$broad*" -printf '%p %s %T@\0'
measure "lurkel walker (--count)" int "$ctl" search --count "$broad" "$corpus"
report "lurkelctl search -0 (classified)"
