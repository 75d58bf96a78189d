#!/bin/sh
# A long fuzz run in pieces, one process at a time: each piece fuzzes
# PIECE seconds starting from the minimised corpus, then the corpus and
# what the piece added are merged (-merge=1) into a fresh minimised corpus.
# Each piece takes the fuzzer binary afresh from build/fuzz, so a rebuilt
# fuzzer joins at the next piece. Stops once TARGET executions are counted,
# at STOP (seconds since the epoch), or at the first finding.
#   Tools/fuzz-long.sh HARNESS TARGET [PIECE] [STOP]
# e.g. Tools/fuzz-long.sh slot 100000000 600
# Totals: build/fuzz-long/HARNESS/pieces.tsv; corpus:
# build/fuzz-long/HARNESS/corpus (copy into Fuzz/corpus/HARNESS when done).
set -eu
cd "$(dirname "$0")/.."
harness=$1
target=$2
piece=${3:-600}
stop=${4:-0}
dir=build/fuzz-long/$harness
mkdir -p "$dir"
[ -d "$dir/corpus" ] || cp -r "Fuzz/corpus/$harness" "$dir/corpus"
[ -f "$dir/pieces.tsv" ] || printf 'piece\tseconds\texecutions\tnew_units\tpeak_rss_mb\tcorpus\tstatus\n' >"$dir/pieces.tsv"
total() {
  awk -F'\t' 'NR > 1 { s += $3 } END { print s + 0 }' "$dir/pieces.tsv"
}
n=$(($(wc -l <"$dir/pieces.tsv") - 1))
while [ "$(total)" -lt "$target" ]; do
  now=$(date +%s)
  seconds=$piece
  if [ "$stop" -gt 0 ]; then
    [ "$now" -ge "$stop" ] && break
    [ $((stop - now)) -lt "$seconds" ] && seconds=$((stop - now))
  fi
  n=$((n + 1))
  cp "build/fuzz/oskel-$harness-fuzzer" "$dir/fuzzer"
  rm -rf "$dir/added" "$dir/merged" && mkdir -p "$dir/added" "$dir/merged" "$dir/findings"
  status=0
  nice -n 15 "$dir/fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/" "$dir/added" "$dir/corpus" >"$dir/piece-$n.log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/piece-$n.log")
  units=$(sed -n 's/^stat::new_units_added: *//p' "$dir/piece-$n.log")
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$dir/piece-$n.log")
  nice -n 15 "$dir/fuzzer" -merge=1 "$dir/merged" "$dir/corpus" "$dir/added" >"$dir/merge-$n.log" 2>&1
  rm -rf "$dir/corpus" && mv "$dir/merged" "$dir/corpus"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$n" "$seconds" "${runs:-0}" "${units:-0}" "${rss:-0}" \
    "$(ls "$dir/corpus" | wc -l)" "$status" >>"$dir/pieces.tsv"
  if [ "$status" -ne 0 ]; then
    echo "piece $n stopped with status $status: see $dir/piece-$n.log and $dir/findings/" >&2
    exit "$status"
  fi
done
echo "executions: $(total) in $n piece(s); corpus: $(ls "$dir/corpus" | wc -l) units"
