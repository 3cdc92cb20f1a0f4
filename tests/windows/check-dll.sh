#!/usr/bin/env bash
# Nikon.dll must export CreatePlugin alone and import nothing but system DLLs: a host machine has
# no GCC runtime DLLs. With "tool", the program checked (rdf-import.exe) exports nothing and may
# also import SHELL32, which reads its command line.
#   check-dll.sh OBJDUMP FILE [tool]
set -euo pipefail
objdump=$1 dll=$2 kind=${3:-module}
dump=$("$objdump" -p "$dll")
system='kernel32|msvcrt|ucrtbase|oleaut32|api-ms-win-crt-[a-z0-9-]+'
expected_exports=CreatePlugin
if [[ $kind == tool ]]; then
  system+='|shell32'
  expected_exports=
fi

exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | { grep -E '^\s+\[' || true; } | awk '{print $NF}')
imports=$(grep -E '^\s+DLL Name:' <<<"$dump" | awk '{print $3}')
echo "exports: $(echo $exports)"
echo "imports: $(echo $imports)"

status=0
[[ $exports == "$expected_exports" ]] || { echo "FAILED: the exports must be: ${expected_exports:-none}"; status=1; }
[[ -n $imports ]] || { echo "FAILED: no import table found"; status=1; }
while read -r name; do
  [[ -z $name ]] && continue
  shopt -s nocasematch
  [[ $name =~ ^($system)\.dll$ ]] ||
    { echo "FAILED: imports a non-system DLL: $name"; status=1; }
  shopt -u nocasematch
done <<<"$imports"
exit $status
