#!/usr/bin/env bash
# Times snipforge-convert on 400 and on 4,000 small lists in one run and prints the ratio: each
# script is told from the scripts before it through a hash, so ten times the lists should take
# about ten times as long (the target is at most 15). Usage: bench/many_lists.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
build=build-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSNIPFORGE_BUILD_TESTS=OFF \
      -DSNIPFORGE_BUILD_WINDOW=OFF >/dev/null
cmake --build "$build" --target snipforge-convert >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for count in 400 4000; do
  mkdir -p "$work/$count"
  for ((i = 0; i < count; ++i)); do printf '%d\n%d\n' "$i" "$((i + 5))" > "$work/$count/$i.txt"; done
done
# The best of $rounds runs, in seconds.
best_of() {
  local count=$1 best=999999 start end took
  for ((round = 0; round < rounds; ++round)); do
    start=$(date +%s.%N)
    "$build/convert/snipforge-convert" -- "$work/$count"/*.txt
    end=$(date +%s.%N)
    took=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    best=$(awk -v a="$best" -v b="$took" 'BEGIN { print (b < a) ? b : a }')
  done
  echo "$best"
}
few=$(best_of 400)
many=$(best_of 4000)
printf '400 lists:   %.3f s\n4000 lists:  %.3f s   4000 / 400 %.1f   (target <= 15)\n' \
  "$few" "$many" "$(awk -v a="$few" -v b="$many" 'BEGIN { print b / a }')"
