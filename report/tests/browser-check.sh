#!/usr/bin/env bash
# Renders survey reports in headless Chromium and checks the rendered pages: every located point
# is labelled in its plan, no two labels are drawn on top of each other (at the full view and
# zoomed in), the page made no network request, and its screenshot is not blank.
# usage: browser-check.sh WORKDIR [--controls] REPORT.html...
# With --controls the checks are first shown to fail on pages made to fail them; the first report
# must then hold points too crowded to label at the full view.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$1
shift
controls=false
if [ "${1:-}" = --controls ]; then
  controls=true
  shift
fi
mkdir -p "$work"
if ! command -v chromium >/dev/null; then
  echo "chromium is not installed; scripts/install-deps.sh installs it" >&2
  exit 1
fi

# A fresh profile each time, the browser's own background traffic off, and every host name
# unresolvable, so that a request the page makes fails here as it would offline.
browser() {
  local profile
  profile=$(mktemp -d "$work/profile.XXXXXX")
  local status=0
  chromium --headless --no-sandbox --disable-gpu --force-device-scale-factor=1 --user-data-dir="$profile" \
    --no-first-run --disable-background-networking --disable-component-update --disable-sync \
    --disable-extensions --host-resolver-rules="MAP * ~NOTFOUND" "$@" 2>>"$work/chromium.log" || status=$?
  rm -rf "$profile"
  return $status
}

# The check script is added to a copy of each page, whose policy runs scripts by their hashes
# only: the copy's policy names the check script's hash beside the page's own.
check_hash=$(python3 -c 'import base64, hashlib, sys
print(base64.b64encode(hashlib.sha256(b"\n" + open(sys.argv[1], "rb").read()).digest()).decode())' \
  "$here/layout-check.js")
allow_check="s|script-src '|script-src 'sha256-$check_hash' '|"

if $controls; then
  # The network check must see a request when a page makes one.
  control=$work/control.html
  echo '<!DOCTYPE html><img src="http://report-check.invalid/x.png">' >"$control"
  browser --log-net-log="$work/control.netlog.json" --dump-dom "file://$control" >/dev/null
  if python3 "$here/check-rendered.py" network "$work/control.netlog.json" >/dev/null; then
    echo "FAIL: the network check missed the request of $control" >&2
    exit 1
  fi

  # The layout check must see overlaps when labels of every zoom are drawn at once.
  crowded=$work/crowded.html
  sed -e 's|</style>|.plan g.lv{display:inline !important}</style>|' -e "$allow_check" "$1" >"$crowded"
  { echo '<script>'; cat "$here/layout-check.js"; echo '</script>'; } >>"$crowded"
  browser --dump-dom "file://$(realpath "$crowded")" >"$work/crowded.dom.html"
  crowded_check=$(python3 "$here/check-rendered.py" labels "$work/crowded.dom.html" || true)
  if ! grep -q ' overlap by ' <<<"$crowded_check"; then
    echo "FAIL: the layout check found no overlap with every label of $1 drawn" >&2
    exit 1
  fi
fi

for report in "$@"; do
  name=$(basename "$report" .html)
  echo "== $report ($(stat -c %s "$report") bytes)"
  checked=$work/$name.checked.html
  sed -e '/<\/body>/,$d' -e "$allow_check" "$report" >"$checked"
  { echo '<script>'; cat "$here/layout-check.js"; echo '</script></body></html>'; } >>"$checked"
  start=$(date +%s%N)
  browser --dump-dom "file://$(realpath "$checked")" >"$work/$name.dom.html"
  echo "loaded, rendered and measured at four zooms in $((($(date +%s%N) - start) / 1000000)) ms"
  python3 "$here/check-rendered.py" labels "$work/$name.dom.html"

  shot=$work/$name.png
  browser --log-net-log="$work/$name.netlog.json" --window-size=1280,1600 --screenshot="$shot" \
    "file://$(realpath "$report")" >/dev/null
  python3 "$here/check-rendered.py" network "$work/$name.netlog.json"
  read -r colours flat spread < <(identify -format '%k %[fx:standard_deviation<0.02] %[fx:standard_deviation]\n' "$shot")
  echo "screenshot $shot: $colours colours, spread $spread"
  if [ "$colours" -lt 16 ] || [ "$flat" = 1 ]; then
    echo "FAIL: the screenshot of $report is blank" >&2
    exit 1
  fi
done
echo "browser check passed"
