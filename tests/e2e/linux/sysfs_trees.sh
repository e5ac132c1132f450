#!/bin/bash
# The Linux hwid binary end to end on sysfs trees shaped like real machines: each tree is built
# here and bind-mounted over /sys in a private mount namespace, and every output byte and exit
# status is checked. Also a /sys without class/net, and one whose class/net cannot be read.
# Usage: sysfs_trees.sh path/to/hwid. Exits 77 (skipped) without root or a mount namespace.
set -u

hwid=$1

source "$(dirname "$0")/expect.sh"
source "$(dirname "$0")/machines.sh"

mount_namespace_require "mount namespaces"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Searchable by anyone, so the unprivileged case reaches the binary's copy and the trees.
chmod 755 "$work"
cp "$hwid" "$work/hwid"
serial=$(volume_serial /)
tab=$'\t'

# run_tree NAME EXPECTED BUILD [ARGUMENT...]: `hwid x` on the tree BUILD makes over /sys.
run_tree() {
  local name=$1 expected=$2 build=$3
  shift 3
  tree=$work/$name
  mkdir -p "$tree/class"
  "$build" "$@"
  expect_output "$name" "${serial}010$expected" over_sys "$tree" "$work/hwid" x
}

no_class_net() { rm -r "$tree/class"; }

run_tree board-reg-and-interrupts "${tab}68675865545851505848495848505848511310" \
  build_board reg interrupts
run_tree board-interrupts-only "${tab}68675865545851505848495848505848511310" \
  build_board interrupts
run_tree board-interrupts-extended "${tab}68675865545851505848495848505848511310" \
  build_board interrupts-extended
run_tree laptop \
  "${tab}56675849545852535865655866665867671310${tab}70565853575855495868685869695870701310" \
  build_laptop
run_tree cloud-vm "${tab}48485848685851655854695852535852561310" build_cloud_vm
run_tree no-class-net "" no_class_net

# class/net that an unprivileged user may not read: no adapters either, and no crash.
tree=$work/unreadable
mkdir -p "$tree"
build_laptop
chmod 755 "$tree"
chmod 000 "$tree/class/net"
expect_output unreadable-class-net "${serial}010" over_sys_as_nobody "$tree" "$work/hwid" x

expect_finish
