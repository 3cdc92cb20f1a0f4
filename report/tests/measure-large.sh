#!/usr/bin/env bash
# Measures the report of a large generated job: the page's size, the time the writer takes, and
# the time headless Chromium takes to open and draw it, beside a one-line page as the baseline.
# usage: measure-large.sh REPORT_SAMPLE [STATIONS [SHOTS]]   (defaults 1000 stations, 50 shots each)
set -euo pipefail
sample=$1
stations=${2:-1000}
shots=${3:-50}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

millis() { echo $((($(date +%s%N) - $1) / 1000000)); }

start=$(date +%s%N)
"$sample" --large "$stations" "$shots" "$work/large.html"
echo "points: $((stations * (shots + 1))), written in $(millis "$start") ms, $(stat -c %s "$work/large.html") bytes"

# The page notes when its own script has run and the first layout is done.
sed 's|</body>|<script>document.body.dataset.ready = performance.now().toFixed(0); void document.body.offsetHeight; document.body.dataset.laid = performance.now().toFixed(0);</script></body>|' \
  "$work/large.html" >"$work/timed.html"
echo '<!DOCTYPE html><p>baseline</p>' >"$work/baseline.html"

browser() {
  rm -rf "$work/profile"
  chromium --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" --no-first-run \
    --disable-background-networking --window-size=1280,1600 "$@" 2>/dev/null
}
for page in baseline large; do
  start=$(date +%s%N)
  browser --screenshot="$work/$page.png" "file://$work/$page.html" >/dev/null
  echo "$page: Chromium started, loaded, drew and saved a screenshot in $(millis "$start") ms"
done
browser --dump-dom "file://$work/timed.html" | grep -o 'data-ready="[0-9]*" data-laid="[0-9]*"' |
  sed 's/data-ready="\([0-9]*\)" data-laid="\([0-9]*\)"/inside the page: parsed and scripted at \1 ms, laid out at \2 ms/'
uptime
