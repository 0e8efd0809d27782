#!/usr/bin/env bash
# Builds every sample capture from its description and converts it into demo/.
#
#   tools/make_demo.sh [BUILD_DIR]      (default: build; needs qvconv and qvcap built there)
#   tools/make_demo.sh --update [BUILD_DIR]
#
# For samples/NAME.txt, qvcap writes demo/captures/NAME.cap, which must equal the
# committed samples/NAME.cap (--update copies it over instead). Every samples/NAME.answers
# and samples/NAME.KIND.answers holds the dialogue answers after the two file names; each
# gives one report, demo/NAME.txt or demo/NAME.KIND.txt, and its console, *.console.
# Exits with status 1 when a committed capture is out of date or a conversion failed.
set -euo pipefail

update=0
if [ "${1:-}" = "--update" ]; then
  update=1
  shift
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
qvconv="$build/qvconv"
qvcap="$build/qvcap"
for tool in "$qvconv" "$qvcap"; do
  if [ ! -x "$tool" ]; then
    echo "make_demo: $tool is missing; build it first (make build)" >&2
    exit 1
  fi
done

samples="$root/samples"
demo="$root/demo"
mkdir -p "$demo/captures"
failed=0

for description in "$samples"/*.txt; do
  name="$(basename "$description" .txt)"
  built="$demo/captures/$name.cap"
  if ! "$qvcap" "$description" "$built"; then
    failed=1
    continue
  fi
  if [ "$update" = 1 ]; then
    cp "$built" "$samples/$name.cap"
  elif ! cmp -s "$built" "$samples/$name.cap"; then
    echo "make_demo: samples/$name.cap does not match samples/$name.txt (run with --update)" >&2
    failed=1
  fi
done

converted=0
for answers in "$samples"/*.answers; do
  report="$(basename "$answers" .answers)"
  name="${report%%.*}"
  capture="$samples/$name.cap"
  if [ ! -f "$capture" ]; then
    echo "make_demo: $answers has no capture samples/$name.cap" >&2
    failed=1
    continue
  fi
  status=0
  { printf '%s\n%s\n' "$capture" "$demo/$report.txt"; cat "$answers"; } |
    "$qvconv" >"$demo/$report.console" || status=$?
  if [ "$status" -ne 0 ] || ! grep -q '^Complete\.$' "$demo/$report.console" || [ ! -f "$demo/$report.txt" ]; then
    echo "make_demo: converting $name with $report.answers failed (status $status)" >&2
    failed=1
    continue
  fi
  converted=$((converted + 1))
done

echo "make_demo: $converted reports in demo/"
exit "$failed"
