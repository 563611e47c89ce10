#!/usr/bin/env bash
# Every .xls fixture encrypted with the default password shows the same cells through
# sheetdump as the plain workbook that msoffcrypto-tool (an independent decryption) makes
# of it.   decrypt_matches_msoffcrypto.sh SHEETDUMP FIXTURE_DIR
set -euo pipefail
sheetdump=$1
fixtures=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
count=0
for encrypted in "$fixtures"/*velvet*.xls; do
  name=$(basename "$encrypted")
  msoffcrypto-tool -p VelvetSweatshop "$encrypted" "$work/$name"
  "$sheetdump" "$encrypted" >"$work/$name.ours.txt"
  "$sheetdump" "$work/$name" >"$work/$name.theirs.txt"
  diff "$work/$name.theirs.txt" "$work/$name.ours.txt"
  count=$((count + 1))
done
[ "$count" -ge 4 ]
echo "decrypted as msoffcrypto-tool does: $count workbooks"
