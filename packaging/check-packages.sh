#!/usr/bin/env bash
# Makes a release package with cpack and checks it as a user would meet it:
#   check-packages.sh deb   the Debian package (preset "package"): its files and dependencies,
#                           lintian without an error or a warning, and rdf-import run from the
#                           unpacked tree on the examples it carries
#   check-packages.sh zip   the Windows zip (preset "mingw"): its files, and rdf-import.exe run
#                           under Wine from the unpacked folder on the examples it carries
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
name=nikon-rdf-import
wine_run=$source_dir/tests/windows/wine-run.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# expect_entries LISTING PATH...: every path is a line of the listing.
expect_entries() {
  local listing=$1 path
  shift
  for path; do
    grep -qxF "$path" <<<"$listing" || fail "the package lacks $path"
  done
}

examples=()
for job in examples/*.rdf; do examples+=("$(basename "$job")"); done

# Only the one package just made: an older version's file may still lie in the folder.
make_package() { # preset package-preset
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" >&2
  rm -rf "build/$1/packages"
  cpack --preset "$2" >/dev/null
  find "build/$1/packages" -maxdepth 1 -type f -name "$3"
}

check_deb() {
  local deb listing depends docs root findings
  deb=$(make_package package deb '*.deb')
  [[ -f $deb ]] || fail "cpack made no Debian package"
  docs=/usr/share/doc/$name
  listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|')
  expect_entries "$listing" /usr/bin/rdf-import "/usr/lib/$name/Nikon.so" "/usr/lib/$name/rdf-exchange.so" \
    "/usr/lib/$name/liboleaut32.so" \
    "$docs/README.md" "$docs/docs/user-guide.md" "$docs/copyright" "$docs/changelog.gz" /usr/share/man/man1/rdf-import.1.gz \
    "${examples[@]/#/$docs/examples/}"
  findings=$(lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2>&1) ||
    fail "lintian finds errors or warnings in $(basename "$deb"):"$'\n'"$findings"
  depends=$(dpkg-deb -f "$deb" Depends)
  for package in libc6 libstdc++6; do
    grep -q "\b$package\b" <<<"$depends" || fail "Depends lacks $package: $depends"
  done

  root=$scratch/root
  dpkg-deb -x "$deb" "$root"
  cd "$root$docs/examples"
  # The loader's log shows which Nikon.so the tool loaded: it must be the package's own.
  LD_DEBUG=files "$root/usr/bin/rdf-import" --quiet --format json hand-written.rdf \
    >"$scratch/traverse.json" 2>"$scratch/loader.log"
  grep -q "calling init: $root/usr/.*/Nikon.so" "$scratch/loader.log" ||
    fail "rdf-import did not load the Nikon.so of the package"
  diff -u "$source_dir/examples/golden/traverse.json" "$scratch/traverse.json"
  "$root/usr/bin/rdf-import" --quiet --encoding CP1251 --format json cp1251-forest.rdf |
    diff -u "$source_dir/examples/golden/cp1251-forest.json" -
  # The exchange writers are loaded from the package too, and write a GeoPackage.
  LD_DEBUG=files "$root/usr/bin/rdf-import" --quiet --format points --to "$scratch/traverse.gpkg" hand-written.rdf \
    >/dev/null 2>"$scratch/loader.log"
  grep -q "calling init: $root/usr/.*/rdf-exchange.so" "$scratch/loader.log" ||
    fail "rdf-import did not load the rdf-exchange.so of the package"
  [[ -s $scratch/traverse.gpkg ]] || fail "rdf-import wrote no GeoPackage"
  cd "$source_dir"
  echo "$(basename "$deb"): $(wc -l <<<"$listing") entries, Depends: $depends; rdf-import runs from it and writes --to"
}

check_zip() {
  local zip listing top folder
  zip=$(make_package mingw win64 '*win64*.zip')
  [[ -f $zip ]] || fail "cpack made no zip whose name holds win64"
  listing=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")
  top=$(basename "$zip" .zip)
  expect_entries "$listing" "$top/rdf-import.exe" "$top/Nikon.dll" "$top/README.md" "$top/docs/user-guide.md" "$top/LICENSE.txt" \
    "${examples[@]/#/$top/examples/}"

  python3 -m zipfile -e "$zip" "$scratch"
  folder=$scratch/$top
  export WINEPREFIX=$scratch/wineprefix WINEDEBUG=-all
  "$wine_run" --new-prefix >/dev/null 2>&1
  trap '"$wine_run" --stop; rm -rf "$scratch"' EXIT
  # The tool finds the module beside itself; the values match those of the Linux build.
  python3 tests/windows/same-json.py --wine "$wine_run" --tool "$folder/rdf-import.exe" \
    --workdir "$folder/examples" --golden examples/golden/cp1251-forest.json -- --encoding CP1251 cp1251-forest.rdf
  echo "$(basename "$zip"): $(wc -l <<<"$listing") entries; rdf-import.exe runs from it under Wine"
}

case ${1:-} in
deb) check_deb ;;
zip) check_zip ;;
*) fail "usage: check-packages.sh deb|zip" ;;
esac
