#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building and testing, and the locales the
# encoding tests import with. Needs root for anything missing; does nothing when all is there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$here/packages.txt")
missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "missing packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
    exit 1
  fi
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Single-byte and UTF-8 locales for the conversion tests and `rdf-import --encoding`.
have_locale() { locale -a 2>/dev/null | grep -qix "$1"; }
make_locale() { # name input charmap
  have_locale "$1" && return 0
  if [[ $(id -u) -ne 0 ]]; then
    echo "locale $1 is missing: run as root: localedef -i $2 -f $3 $1" >&2
    return 1
  fi
  localedef -i "$2" -f "$3" "$1" 2>/dev/null || have_locale "$1"
}
make_locale ru_RU.cp1251 ru_RU CP1251
make_locale ru_RU.utf8 ru_RU UTF-8
