#!/usr/bin/env bash
# Regenerates docs/traverse-report.png, the README's picture of the bundled traverse's report:
# the README's run command (which adjusts, so that the plan shows each point's error ellipse) with --to,
# then a screenshot of the page in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bash scripts/run-example.sh --to "$work/traverse.html" >/dev/null
chromium --headless --no-sandbox --disable-gpu --force-device-scale-factor=1 --user-data-dir="$work/profile" \
  --no-first-run --disable-background-networking --host-resolver-rules="MAP * ~NOTFOUND" \
  --hide-scrollbars --window-size=1100,1560 --screenshot="$work/shot.png" "file://$work/traverse.html" 2>/dev/null
mkdir -p docs
cp "$work/shot.png" docs/traverse-report.png
echo "docs/traverse-report.png: $(identify -format '%wx%h, %k colours' docs/traverse-report.png)"
