#!/usr/bin/env bash
# Checks docs/ARCHITECTURE.md against the tree: every folder of the map exists and builds the
# targets named there; every folder that builds a target or holds C++ sources is in the map;
# every folder under app/ with sources builds exactly one target; every test folder mirrors a
# source folder. Prints what is wrong and exits 1, else exits 0.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
map=docs/ARCHITECTURE.md
fail=0
complain() { echo "check-code-map: $*" >&2; fail=1; }

targets_of() { # the targets a folder's CMakeLists.txt defines, sorted
  [ -f "$1/CMakeLists.txt" ] || return 0
  sed 's/#.*//' "$1/CMakeLists.txt" | grep -oE '(add_library|add_executable|lurkel_library)\([[:space:]]*[A-Za-z0-9_-]+' |
    sed -E 's/.*\([[:space:]]*//' | sort
}

declare -A mapped
while IFS='|' read -r _ folder target _; do
  folder=$(echo "$folder" | tr -d ' `'); folder=${folder%/}
  [ -n "$folder" ] || continue
  mapped[$folder]=1
  want=$(echo "$target" | tr -d ' `' | tr ',' '\n' | sort)
  if [ ! -d "$folder" ]; then complain "$folder/ is in the map but not in the tree"; continue; fi
  have=$(targets_of "$folder")
  [ "$want" = "$have" ] || complain "$folder/ builds '$(echo $have)', the map says '$(echo $want)'"
done < <(grep -E '^\| `[^`]+/` \|' "$map")

source_folders=$(git ls-files -co --exclude-standard -- '*.cpp' '*CMakeLists.txt' 2>/dev/null |
  grep -vE '^(tests|build[^/]*)/' | xargs -r -n1 dirname | sort -u)
for folder in $source_folders; do
  [ "$folder" = . ] && continue
  has_code=$(ls "$folder"/*.cpp >/dev/null 2>&1 && echo 1 || echo 0)
  count=$(targets_of "$folder" | grep -c . || true)
  [ "$has_code" = 0 ] && [ "$count" = 0 ] && continue
  [ -n "${mapped[$folder]:-}" ] || complain "$folder/ builds or holds code but is not in the map"
  if [ "$has_code" = 1 ] && [[ $folder == app* ]] && [ "$count" != 1 ]; then
    complain "$folder/ holds sources and builds $count targets (one is the rule under app/)"
  fi
done

for dir in $(git ls-files -co --exclude-standard -- 'tests/*' | xargs -r -n1 dirname | sort -u); do
  rel=${dir#tests/}
  [ "$dir" = tests ] && continue
  case $rel in support | install) continue ;; esac
  if [ ! -d "$rel" ] && [ ! -d "app/$rel" ]; then complain "$dir/ mirrors no source folder"; fi
done

exit $fail
