#!/usr/bin/env bash
# Installs the tools the benchmarks compare Lurkel with (Debian 12, as root or via sudo).
set -euo pipefail
missing=()
for p in bfs fd-find findutils time bc gdu jdupes rdfind python3; do
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
