#!/usr/bin/env bash
# Nikon.dll must export CreatePlugin alone and import nothing but system DLLs: a host machine has
# no GCC runtime DLLs.
set -euo pipefail
objdump=$1 dll=$2
dump=$("$objdump" -p "$dll")

exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | grep -E '^\s+\[' | awk '{print $NF}')
imports=$(grep -E '^\s+DLL Name:' <<<"$dump" | awk '{print $3}')
echo "exports: $(echo $exports)"
echo "imports: $(echo $imports)"

status=0
[[ $exports == CreatePlugin ]] || { echo "FAILED: the one export must be CreatePlugin"; status=1; }
[[ -n $imports ]] || { echo "FAILED: no import table found"; status=1; }
while read -r name; do
  [[ -z $name ]] && continue
  shopt -s nocasematch
  [[ $name =~ ^(kernel32|msvcrt|ucrtbase|oleaut32|api-ms-win-crt-[a-z0-9-]+)\.dll$ ]] ||
    { echo "FAILED: imports a non-system DLL: $name"; status=1; }
  shopt -u nocasematch
done <<<"$imports"
exit $status
