#!/bin/sh
# build_android_reader.sh MIRROR OUT: compiles Android's vCard parser (com.android.vcard, from a
# git mirror of platform/frameworks/opt/vcard, e.g. GrapheneOS's) with the few Android classes
# it calls stubbed, and AndroidReadBack beside it, into OUT. Run it as
# `java -cp OUT AndroidReadBack 3.0|4.0 FILE`: each property as the parser hands it to Android's
# contact importer (com.android.vcard.VCardEntry), which address_book_survey.py then maps as
# that importer does. A test tool; nothing of Android's is kept in this tree.
set -eu
mirror=$1 out=$2
here=$(cd "$(dirname "$0")" && pwd)
src=$(mktemp -d)
trap 'rm -rf "$src"' EXIT
git -C "$mirror" archive HEAD java/com/android/vcard | tar -x -C "$src"
rm -f "$src"/java/com/android/vcard/VCardEntry*.java "$src"/java/com/android/vcard/VCardComposer.java \
  "$src"/java/com/android/vcard/VCardBuilder.java
mkdir -p "$out"
javac -nowarn -encoding UTF-8 -d "$out" $(find "$here/stubs" "$src/java" -name '*.java') "$here/AndroidReadBack.java" \
  2>&1 | grep -v '^Note:' || true
test -f "$out/AndroidReadBack.class"
