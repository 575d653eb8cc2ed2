#!/usr/bin/env bash
# Times whole conversions against GNU sort on the same generated lists and prints the figures
# the README's Performance section quotes. Usage: bench/compare.sh [ROUNDS]  (default 7)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}
build=build-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSNIPFORGE_BUILD_TESTS=OFF \
      -DSNIPFORGE_BUILD_WINDOW=OFF >/dev/null
cmake --build "$build" --target generate_list convert_file >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/generate_list" shuffled 1000000 "$work/s1m.txt"
"$build/bench/generate_list" shuffled 4000000 "$work/s4m.txt"
"$build/bench/generate_list" run 1000000 "$work/r1m.txt"
"$build/bench/generate_list" ranges 1000000 "$work/g1m.txt"
printf '5-2000000000\n' >"$work/wide.txt"

# Wall seconds of one command, from outside the process, like the sort it is compared with.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
# The best of $rounds runs; the commands of one figure take turns so that both meet the same load.
best() { sort -g | head -n 1; }
calc() { awk "BEGIN { print $1 }"; }
convert() { "$build/bench/convert_file" "$1" "$work/out.avs" "${@:2}"; }

: >"$work/sort" ; : >"$work/c1m" ; : >"$work/c4m" ; : >"$work/run" ; : >"$work/g1m"
for ((i = 0; i < rounds; i++)); do
  seconds sort -n -u "$work/s1m.txt" -o "$work/sorted.txt" >>"$work/sort"
  seconds convert "$work/s1m.txt" >>"$work/c1m"
  seconds convert "$work/s4m.txt" >>"$work/c4m"
  seconds convert "$work/r1m.txt" --exclude 1 >>"$work/run"
  seconds convert "$work/g1m.txt" --auto >>"$work/g1m"
done
sort_s=$(best <"$work/sort"); c1m=$(best <"$work/c1m"); c4m=$(best <"$work/c4m"); run=$(best <"$work/run")
g1m=$(best <"$work/g1m")
peak() { /usr/bin/time -f %M "$build/bench/convert_file" "$@" 2>&1 >/dev/null | tail -n 1; }
mem_good=$(peak "$work/s1m.txt" "$work/out.avs")
mem_both=$(peak "$work/s1m.txt" "$work/out.avs" --bad)
both_bytes=$(stat -c %s "$work/out.avs")
mem_ranges=$(peak "$work/g1m.txt" "$work/out.avs" --auto)
wide=$(seconds convert "$work/wide.txt" --auto)
mem_wide=$(peak "$work/wide.txt" "$work/out.avs" --auto --bad)
# A frame, then one line of 256 MiB without a break, copied into the script ("Include text")
# or left out.
{ echo 5; head -c $((256 << 20)) /dev/zero | tr '\0' x; } >"$work/line.txt"
mem_line=$(peak "$work/line.txt" "$work/out.avs" --text)
mem_line_out=$(peak "$work/line.txt" "$work/out.avs")
rm -f "$work/line.txt"

printf 'machine: %s, %s cores\n' "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)" "$(nproc)"
printf 'input: %s bytes, 1,000,000 distinct frames + 5%% repeats, shuffled\n' "$(stat -c %s "$work/s1m.txt")"
printf 'sort -n -u, 1M:                 %.3f s\n' "$sort_s"
printf 'conversion, 1M:                 %.3f s   ratio to sort %.2f   (target <= 0.35)\n' "$c1m" \
       "$(calc "$c1m / $sort_s")"
printf 'conversion, 4M:                 %.3f s   4M / 1M %.2f         (target <= 4.6)\n' "$c4m" \
       "$(calc "$c4m / $c1m")"
printf 'one run of 1M, exclude 1:       %.3f s   run / shuffled %.2f  (target <= 2)\n' "$run" \
       "$(calc "$run / $c1m")"
printf 'auto, 1M lines of ranges:       %.3f s   ratio to sort %.2f\n' "$g1m" "$(calc "$g1m / $sort_s")"
printf 'auto, the range 5-2000000000:   %.3f s   peak memory, both parts %.1f MiB\n' "$wide" \
       "$(calc "$mem_wide / 1024")"
printf 'peak memory, 1M, good part:     %.1f MiB                      (target <= 32)\n' \
       "$(calc "$mem_good / 1024")"
printf 'peak memory, 1M, both (%s MB of script): %.1f MiB\n' "$((both_bytes / 1000000))" \
       "$(calc "$mem_both / 1024")"
printf 'peak memory, auto, 1M lines of ranges: %.1f MiB\n' "$(calc "$mem_ranges / 1024")"
printf 'peak memory, one 256 MiB line, text included: %.1f MiB       (target <= 352)\n' \
       "$(calc "$mem_line / 1024")"
printf 'peak memory, one 256 MiB line, text left out:  %.1f MiB\n' "$(calc "$mem_line_out / 1024")"
