#!/usr/bin/env bash
# vcfexport --propose reads a CSV file without a byte-order mark that is not UTF-8 in the ANSI
# code page of the user's locale, as the export and the window do: a Russian export in
# windows-1251 and a Japanese one in Shift_JIS propose their columns' kinds, and
# the same files read under the C locale (code page 1252) propose none of them.
#   propose_code_page.sh VCFEXPORT
set -euo pipefail
vcfexport=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0

check() {  # NAME LOCALE CSV EXPECTED_KINDS(one per line) EXPECTED_STDERR
  local got err
  got=$(LC_ALL=$2 "$vcfexport" --propose "$3" A1:E3 2>"$out/stderr") || { echo "$1: exit $?"; failed=1; return; }
  err=$(cat "$out/stderr")
  if [ "$got" != "$4" ] || [ "$err" != "$5" ]; then
    printf '%s under %s:\n--- proposed\n%s\n--- expected\n%s\n--- stderr\n%s\n' "$1" "$2" "$got" "$4" "$err"
    failed=1
  fi
}

printf 'Имя,Фамилия,Номер мобильного телефона,Адрес электронной почты,Город\r\nАнна,Иванова,+7 495 123 45 67,anna@example.ru,Москва\r\n' \
  | iconv -f UTF-8 -t WINDOWS-1251 >"$out/ru.csv"
printf '名,姓,携帯電話番号,メールアドレス,市区町村 (自宅)\r\n花子,山田,090-1234-5678,hanako@example.jp,横浜市\r\n' \
  | iconv -f UTF-8 -t SHIFT_JIS >"$out/ja.csv"
# Neither file is UTF-8, so the code page decides how its bytes read.
if iconv -f UTF-8 -t UTF-8 "$out/ru.csv" >/dev/null 2>&1 || iconv -f UTF-8 -t UTF-8 "$out/ja.csv" >/dev/null 2>&1; then
  echo "a fixture reads as UTF-8"; exit 1
fi

check windows-1251 ru_RU.UTF-8 "$out/ru.csv" $'First Name\nLast Name\nCellular\nEmail\nHome City' \
  'vcfexport: the first row reads as headings; $A$2:$E$3 is the block without it'
check Shift_JIS ja_JP.UTF-8 "$out/ja.csv" $'First Name\nLast Name\nCellular\nEmail\nHome City' \
  'vcfexport: the first row reads as headings; $A$2:$E$3 is the block without it'
check windows-1251 C "$out/ru.csv" $'Ignore\nIgnore\nIgnore\nIgnore\nIgnore' ''
check Shift_JIS C "$out/ja.csv" $'Ignore\nIgnore\nIgnore\nIgnore\nIgnore' ''
[ "$failed" -eq 0 ] && echo "vcfexport --propose reads windows-1251 and Shift_JIS in the locale's code page"
exit "$failed"
