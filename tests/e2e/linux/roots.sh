#!/bin/bash
# The Linux hwid binary end to end with its root on tmpfs and on overlayfs, as in containers:
# each root is mounted in a private mount namespace, holds the binary, the libraries it loads
# and /proc (but no /sys, so no adapters), and the binary runs chrooted into it. The serial must be
# the one statfs gives for that mount, and stay the same while the mount lives, across writes
# and a remount. Usage: roots.sh path/to/hwid. Exits 77 (skipped) without root or a mount
# namespace.
set -u

source "$(dirname "$0")/expect.sh"

if [[ ${1:-} != --inside ]]; then
  mount_namespace_require "mount namespaces and chroot"
  work=$(mktemp -d)
  unshare -m --propagation private "$0" --inside "$1" "$work"
  status=$?
  rm -rf "$work"
  exit "$status"
fi

hwid=$2
work=$3

# populate DIR: the binary as DIR/hwid, and each library it loads at its own path.
populate() {
  cp "$hwid" "$1/hwid"
  for library in $(ldd "$hwid" | grep -o '/[^ ]*'); do
    cp --parents "$library" "$1"
  done
}

# with_proc DIR: /proc inside DIR, as a container has it (a sanitised build needs it).
with_proc() {
  mkdir -p "$1/proc"
  mount -t proc proc "$1/proc"
}

# check_root NAME DIR: bare and identifier output in a root whose serial is DIR's, before and
# after a write into it and a remount of it.
check_root() {
  local name=$1 dir=$2 serial
  serial=$(volume_serial "$dir")
  echo "$name: serial $serial"
  expect_output "$name bare" "$(signed_serial "$serial")" chroot "$dir" /hwid
  expect_output "$name identifier" "${serial}010" chroot "$dir" /hwid x
  echo written >"$dir/written"
  mount -o remount "$dir"
  expect_output "$name bare after a write and a remount" "$(signed_serial "$serial")" \
    chroot "$dir" /hwid
}

mkdir "$work/tmpfs"
mount -t tmpfs tmpfs "$work/tmpfs"
populate "$work/tmpfs"
with_proc "$work/tmpfs"
check_root tmpfs "$work/tmpfs"

# A container's root: the image as the lower layer, its own writable layer above.
mkdir "$work/layers"
mount -t tmpfs tmpfs "$work/layers"
mkdir "$work/layers/image" "$work/layers/upper" "$work/layers/work" "$work/overlay"
populate "$work/layers/image"
mount -t overlay overlay \
  -o "lowerdir=$work/layers/image,upperdir=$work/layers/upper,workdir=$work/layers/work" \
  "$work/overlay"
with_proc "$work/overlay"
check_root overlayfs "$work/overlay"

expect_finish
