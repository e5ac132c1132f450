#!/bin/bash
# libhwid.so on a machine that stops answering: in a private mount namespace, a laptop's sysfs
# tree over /sys whose Ethernet address file is a FIFO, so opening it blocks as a hung WMI
# provider does. The host (tests/library/stalled_host.c) makes hundreds of calls with a short time
# limit, checks the library's threads stay at three, feeds the FIFO, and prints what the next
# call answers: that must be what `hwid x` prints on the same tree with a plain address file.
# Usage: stalled_library.sh path/to/hwid path/to/stalled_host. Exits 77 (skipped) without root or
# a mount namespace.
set -u

hwid=$1 host=$2

source "$(dirname "$0")/expect.sh"
source "$(dirname "$0")/machines.sh"

mount_namespace_require "mount namespaces"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=$work/laptop
mkdir -p "$tree/class"
build_laptop

expected=$(over_sys "$tree" "$hwid" x)
interface=devices/pci0000:00/0000:00:1f.6/net/enp0s31f6
address=$(cat "$tree/$interface/address")
rm "$tree/$interface/address"
mkfifo "$tree/$interface/address"
expect_output stalled-then-fed "$expected" over_sys "$tree" "$host" "/sys/$interface/address" \
  "$address"

expect_finish
