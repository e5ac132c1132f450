#!/bin/bash
# The Debian packages installed as a user installs them, `apt-get install ./*.deb` as root, into
# a copy of this system that vanishes with the test: in a private mount namespace the root file
# system gets a writable layer on tmpfs (overlayfs) and the test chroots into the result. There,
# the installed hwid prints what this build's hwid prints in each mode (both run in the same root,
# whose serial is the overlay's), the C example built against libhwid-dev with pkg-config prints
# what `hwid x` prints, ldconfig's cache lists libhwid.so.1 (the package's trigger ran), and
# purging the three packages leaves none of their files. This machine is left as it was.
# Usage: apt_test.sh PACKAGE_DIR HWID C_EXAMPLE
# Exits 77 (skipped) without root, a mount namespace, an overlay over /, or apt-get.
set -u

source "$(dirname "$0")/../e2e/linux/expect.sh"

if [[ ${1:-} != --inside ]]; then
  mount_namespace_require "apt-get install in a throwaway root and chroot"
  if ! command -v apt-get >/dev/null; then
    echo "skipped: no apt-get"
    exit 77
  fi
  work=$(mktemp -d)
  unshare -m --propagation private "$0" --inside "$work" "$@"
  status=$?
  rm -rf "$work"
  exit "$status"
fi

work=$2 packages=$3 hwid=$4 example=$5

mount -t tmpfs tmpfs "$work"
mkdir "$work/upper" "$work/work" "$work/root"
root=$work/root
if ! mount -t overlay overlay -o "lowerdir=/,upperdir=$work/upper,workdir=$work/work" "$root"
then
  echo "skipped: cannot lay an overlay over /"
  exit 77
fi
mount --rbind /dev "$root/dev"
mount --rbind /sys "$root/sys"
mount -t proc proc "$root/proc"
mount -t tmpfs tmpfs "$root/tmp"

# Everything the test uses inside goes in its /tmp: the build tree may lie on another mount.
mkdir "$root/tmp/test"
cp "$packages"/*.deb "$hwid" "$example" "$root/tmp/test/"
inside() { chroot "$root" "$@"; }
debs=()
for deb in "$root"/tmp/test/*.deb; do
  debs+=("/tmp/test/${deb##*/}")
done

if ! inside env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${debs[@]}"
then
  fail "apt-get install ${debs[*]}"
  expect_finish
fi

for mode in "" oldtrial x; do
  expect_output "installed hwid ${mode:-(bare)}" "$(inside /tmp/test/hwid $mode)" \
    inside hwid $mode
done
# shellcheck disable=SC2016 # dpkg-query's format, not the shell's
installed_version=$(inside dpkg-query -W -f='${Version}' hwid)
expect_output "installed hwid-inspect --version" "hwid-inspect ${installed_version%-*}"$'\n' \
  inside hwid-inspect --version

# /lib is /usr/lib on a merged /usr, and ldconfig may name either.
inside ldconfig -p | grep -Eq 'libhwid\.so\.1 .*=> (/usr)?/lib/libhwid\.so\.1$' ||
  fail "ldconfig's cache does not list libhwid.so.1"

# The C example against what libhwid-dev installed, found by pkg-config inside the root.
# shellcheck disable=SC2016
if inside sh -c 'cc -std=c99 "/tmp/test/$1" $(pkg-config --cflags --libs hwid) \
                    -o /tmp/test/licence_check' sh "${example##*/}"; then
  expect_output "C example built against libhwid-dev" "$(inside /tmp/test/hwid x)"$'\n' \
    inside /tmp/test/licence_check
else
  fail "the C example does not build against libhwid-dev with pkg-config"
fi

mapfile -t installed < <(inside dpkg -L hwid libhwid1 libhwid-dev)
inside env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q hwid libhwid1 libhwid-dev ||
  fail "apt-get purge"
for path in "${installed[@]}"; do
  if [[ -e $root$path && ! -d $root$path ]] || [[ -L $root$path ]]; then
    fail "left after purging: $path"
  fi
done
for package in hwid libhwid1 libhwid-dev; do
  [[ ! -e $root/usr/share/doc/$package ]] || fail "left after purging: /usr/share/doc/$package"
done

expect_finish
