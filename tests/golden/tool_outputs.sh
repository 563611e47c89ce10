#!/usr/bin/env bash
# The end-to-end output of sheetdump and vcfexport on every fixture workbook, compared with
# the outputs recorded in tests/golden/expected/ (or recorded there anew with --record).
# The REV line of each record holds the export's clock and is masked before comparing.
#   tool_outputs.sh BUILD_DIR [--record]
set -euo pipefail
build=$(cd "$1" && pwd)
mode=${2:-check}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
expected="$here/expected"
actual=$(mktemp -d)
trap 'rm -rf "$actual"' EXIT

kinds=("First Name" "Last Name" "Email" "Home Voice" "Notes" "Birthday" "Home Address" "Work City")

for workbook in "$root"/tests/fixtures/xls/*.xls "$root"/tests/fixtures/xlsx/*.xlsx "$root"/Samples/sample.xls; do
  name=$(basename "$workbook")
  for locale in C de_DE.UTF-8; do
    out="$actual/$name.$locale"
    mkdir -p "$out"
    LC_ALL=$locale "$build/tools/sheetdump/sheetdump" "$workbook" >"$out/sheetdump.txt" 2>&1 || echo "exit $?" >>"$out/sheetdump.txt"
    for encoding in ansi utf8; do
      mkdir -p "$out/$encoding"
      LC_ALL=$locale "$build/tools/vcfexport/vcfexport" "$workbook" "A1:H16" "$out/$encoding" "$encoding" \
        "${kinds[@]}" >"$out/$encoding.log" 2>&1 || echo "exit $?" >>"$out/$encoding.log"
      # One file per run: each record file's name, then its bytes with the REV line masked.
      for f in "$out/$encoding"/*.vcf; do
        [ -e "$f" ] || continue
        printf '== %s\n' "$(basename "$f")"
        sed 's/^REV:[0-9T]*\r$/REV:masked\r/' "$f"
      done >"$out/$encoding.vcf.txt"
      rm -rf "${out:?}/$encoding"
      sed -i "s|$actual|OUT|g" "$out/$encoding.log"
    done
  done
done

if [ "$mode" = "--record" ]; then
  rm -rf "$expected"
  cp -r "$actual" "$expected"
  echo "recorded $(find "$expected" -type f | wc -l) files in $expected"
else
  diff -r "$expected" "$actual"
  echo "tool outputs: same as recorded ($(find "$expected" -type f | wc -l) files)"
fi
