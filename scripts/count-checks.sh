#!/usr/bin/env bash
# Part of `make test`'s account of what ran. With `record NAME WHAT -- CMD...`,
# runs CMD (a ctest run), showing its output as it comes, and keeps how many
# tests it ran in build/test-results/NAME; with `record-one NAME WHAT`, keeps
# one check that has passed; with `summary`, prints each kept count and the
# closing line, whose total counts every test and check that passed.
set -euo pipefail
results=build/test-results

case "$1" in
  record)
    name=$2 what=$3
    shift 4
    mkdir -p "$results"
    "$@" 2>&1 | tee "$results/$name.log"
    count=$(sed -n 's/^100% tests passed, 0 tests failed out of \([0-9]*\)$/\1/p' \
      "$results/$name.log")
    echo "${count:-0} $what" >"$results/$name"
    ;;
  record-one)
    mkdir -p "$results"
    echo "1 $3" >"$results/$2"
    ;;
  summary)
    total=0
    for file in "$results"/*; do
      [ -f "$file" ] && [ "${file%.log}" = "$file" ] || continue
      read -r count what <"$file"
      echo "  $count $what"
      total=$((total + count))
    done
    echo "checks: $total passed, 0 failed"
    ;;
  *)
    echo "usage: $0 record NAME WHAT -- CMD... | record-one NAME WHAT | summary" >&2
    exit 2
    ;;
esac
