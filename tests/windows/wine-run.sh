#!/usr/bin/env bash
# Runs Windows programs under Wine in the throw-away prefix named by WINEPREFIX.
#   wine-run.sh --new-prefix     makes the prefix afresh (the first start of Wine takes a while)
#   wine-run.sh --stop           ends the prefix's Wine server
#   wine-run.sh PROGRAM ARGS...  runs a program; its exit status is the program's
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix to use}"
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: the console programs here need neither, and their installers would ask.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Debian's wine64 keeps its binary out of PATH.
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[[ -x $wine ]] || { echo "wine64 not found: apt-get install wine64" >&2; exit 1; }
wineserver=$(dirname "$wine")/wineserver
[[ -x $wineserver ]] || wineserver=$(command -v wineserver)

case ${1:-} in
--new-prefix)
  # Only a folder of ours is ever removed.
  [[ $(basename "$WINEPREFIX") == wineprefix ]] || { echo "refusing to replace $WINEPREFIX" >&2; exit 1; }
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  "$wine" wineboot --init
  "$wineserver" --wait
  ;;
--stop)
  "$wineserver" --kill || true
  ;;
*)
  exec "$wine" "$@"
  ;;
esac
