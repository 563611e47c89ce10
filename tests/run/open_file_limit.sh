#!/bin/bash
# open_file_limit.sh MAKE_WORKBOOK VCFEXPORT OUTDIR: exports 3,000 rows of a contacts workbook
# under an open-file limit of 64, into an empty folder and then over the files of the first
# run. Each run must write every file and say "Done.", with no report and nothing left over.
set -u
make_workbook=$1
vcfexport=$2
out=$3
rows=3000
rm -rf "$out"
mkdir -p "$out/files"
mapfile -t kinds < <("$make_workbook" "$out/contacts.xlsx" "$rows") || exit 1
[ "${#kinds[@]}" -eq 12 ] || { echo "the workbook maker gave ${#kinds[@]} kinds"; exit 1; }
failed=0
for pass in new replaced; do
  prlimit --nofile=64 "$vcfexport" "$out/contacts.xlsx" "A2:L$((rows + 1))" "$out/files" utf8 "${kinds[@]}" \
    >"$out/stdout" 2>"$out/stderr"
  rc=$?
  files=$(find "$out/files" -type f -name 'UTF8_*.vcf' | wc -l)
  others=$(find "$out/files" -mindepth 1 ! -name 'UTF8_*.vcf' | wc -l)
  echo "$pass: exit $rc, $files files, $others other entries, says: $(head -c 300 "$out/stdout")"
  if [ "$rc" -ne 0 ] || [ "$(cat "$out/stdout")" != "Done." ] || [ -s "$out/stderr" ] ||
     [ "$files" -ne "$rows" ] || [ "$others" -ne 0 ]; then
    echo "  FAILED"; head -c 600 "$out/stderr"
    failed=1
  fi
done
rm -rf "$out"
exit $failed
