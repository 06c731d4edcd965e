#!/usr/bin/env bash
# Runs the exchange fuzzer built with a planted double-order fault for at most 120 seconds on a
# copy of its seeds; passes when it reports the broken property (a second debit), fails when it
# finds nothing or fails for another reason.
#   planted_fault.sh FUZZER SEED_DIR
set -uo pipefail
fuzzer=$1
seeds=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus"
[ -d "$seeds" ] && cp -r "$seeds"/. "$work/corpus/" 2>/dev/null
"$fuzzer" -max_total_time=120 -max_len=4096 -seed=1 -artifact_prefix="$work/" \
  "$work/corpus" >"$work/log" 2>&1
status=$?
if [ "$status" -ne 0 ] && grep -q 'property does not hold: payments.size() <= 1' "$work/log"; then
  grep -E 'property does not hold|stat::number_of_executed_units|Done [0-9]+ runs' "$work/log"
  echo "planted double order found"
  exit 0
fi
tail -n 30 "$work/log"
echo "the planted double order was not found (exit status $status)" >&2
exit 1
