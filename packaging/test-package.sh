#!/bin/sh
# Builds the Debian package, installs it with apt-get into a clean Debian 12 root, starts the
# installed program under Xvfb as a fresh user (a home without a Desktop folder) and exports
# the shipped sample through it by keyboard (drive-sample-export.sh). Needs root, debootstrap
# and network access to a Debian mirror, so it is not part of the test command.
#
#   sudo packaging/test-package.sh [PACKAGE.deb]
#
# Without an argument the package is built first in build/ (cmake, cpack). CW_MIRROR names
# another mirror; CW_BASE_ROOT names a pristine `debootstrap --variant=minbase bookworm` root
# to copy instead of bootstrapping a new one (it is copied, never changed).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
mirror=${CW_MIRROR:-http://deb.debian.org/debian}
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap and chroot need it)" >&2; exit 2; }

if [ $# -ge 1 ]; then
  deb=$(readlink -f "$1")
else
  cmake -S "$source_dir" -B "$source_dir/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$source_dir/build" -j2 --target cardwright
  (cd "$source_dir/build" && cpack -G DEB >/dev/null)
  deb=$(ls "$source_dir"/build/cardwright_*_amd64.deb | tail -n 1)
fi
echo "== package: $deb"

root=$(mktemp -d /var/tmp/cardwright-root.XXXXXX)
# mktemp makes the folder 0700; as the chroot's / it must be 0755, or no user but root may
# run anything in it.
chmod 0755 "$root"
# The root gets its own /proc, /dev/pts and /dev/shm, never a bind of the host's /dev, and is
# removed only when nothing is mounted in it any more, without crossing into other file systems.
cleanup() {
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] && kill -9 "$pid" 2>/dev/null || true
  done
  for m in dev/shm dev/pts sys proc; do
    mountpoint -q "$root/$m" && { umount "$root/$m" || umount -l "$root/$m"; }
  done
  if grep -q " $root/" /proc/self/mountinfo; then
    echo "left $root in place: something is still mounted in it" >&2
  else
    rm -rf --one-file-system "$root"
  fi
}
trap cleanup EXIT
if [ -n "${CW_BASE_ROOT:-}" ]; then
  echo "== copying the base root $CW_BASE_ROOT"
  cp -a "$CW_BASE_ROOT/." "$root/"
else
  echo "== debootstrap bookworm ($mirror)"
  debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null
fi
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
mkdir -p "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
mount -t tmpfs tmpfs "$root/dev/shm"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
cp "$here/drive-sample-export.sh" "$root/usr/local/bin/"

echo "== apt-get install ./$(basename "$deb") (and Xvfb and xdotool to drive it)"
chroot "$root" sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
  /tmp/$(basename "$deb") xvfb xauth xdotool >/dev/null"
chroot "$root" dpkg -s cardwright | sed -n '/^Version/p;/^Depends/p'
test -x "$root/usr/bin/cardwright"

echo "== first start of the installed program as a new user (a home without a Desktop folder)"
chroot "$root" useradd --create-home tester
chroot "$root" su - tester -c 'xvfb-run -a sh -c "cardwright & p=\$!; sleep 5; kill \$p"'
# The first start offered the home folder as the output folder, and stored it.
grep -qx 'Text3=/home/tester/' "$root/home/tester/.config/Marrowind/Cardwright.ini"
echo "== export the sample through the installed program"
chroot "$root" su - tester -c 'xvfb-run -a -s "-screen 0 1280x1024x24" \
  drive-sample-export.sh cardwright /usr/lib/cardwright/Samples/sample.xls "$HOME/cards/"'
printf 'BEGIN:VCARD\r\nVERSION:2.1\r\nN:Chen;Wei;;\r\nFN:Wei  Chen\r\n' >"$root/tmp/expected"
head -c "$(wc -c <"$root/tmp/expected")" "$root/home/tester/cards/ANSI_Wei Chen_Row3.vcf" | cmp - "$root/tmp/expected"
echo "== the installed package works"
