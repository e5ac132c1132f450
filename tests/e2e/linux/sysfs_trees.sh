#!/bin/bash
# The Linux hwid binary end to end on sysfs trees shaped like real machines: each tree is built
# here and bind-mounted over /sys in a private mount namespace, and every output byte and exit
# status is checked. Also a /sys without class/net, and one whose class/net cannot be read.
# Usage: sysfs_trees.sh path/to/hwid. Exits 77 (skipped) without root or a mount namespace.
set -u

hwid=$1

source "$(dirname "$0")/expect.sh"
source "$(dirname "$0")/trees.sh"

mount_namespace_require "mount namespaces"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Searchable by anyone, so the unprivileged case reaches the binary's copy and the trees.
chmod 755 "$work"
cp "$hwid" "$work/hwid"
serial=$(volume_serial /)
tab=$'\t'

# A single-board computer: on-chip Ethernet from the device tree, Wi-Fi on SDIO under an on-chip
# MMC host, and Docker's bridge. Only the Ethernet controller owns resources.
build_board() {
  tree_device platform/scb/fd580000.ethernet platform
  tree_of_node platform/scb/fd580000.ethernet scb/ethernet@7d580000 "$@"
  tree_interface end0 2 dc:a6:32:01:02:03 platform/scb/fd580000.ethernet
  tree_device platform/soc/fe300000.mmcnr platform
  tree_of_node platform/soc/fe300000.mmcnr soc/mmcnr@7e300000 reg interrupts
  tree_device platform/soc/fe300000.mmcnr/mmc_host/mmc1/mmc1:0001/mmc1:0001:1 sdio
  tree_interface wlan0 3 dc:a6:32:01:02:04 \
    platform/soc/fe300000.mmcnr/mmc_host/mmc1/mmc1:0001/mmc1:0001:1
  tree_interface docker0 4 02:42:ac:11:00:01
  mkdir "$tree/devices/virtual/net/docker0/bridge"
}

# PCI Ethernet with I/O ports, PCI Wi-Fi with MSI-X, a libvirt bridge.
build_laptop() {
  tree_pci_function 0000:00:1f.6 16 "$memory_and_ports"
  tree_interface enp0s31f6 2 8c:16:45:aa:bb:cc pci0000:00/0000:00:1f.6
  tree_pci_function 0000:00:1c.0/0000:03:00.0 0 "$memory_only"
  mkdir -p "$tree/devices/pci0000:00/0000:00:1c.0/0000:03:00.0/msi_irqs/140"
  tree_interface wlp3s0 3 f8:59:71:dd:ee:ff pci0000:00/0000:00:1c.0/0000:03:00.0
  tree_interface virbr0 4 52:54:00:12:34:56
}

# A Hyper-V VM with accelerated networking: the VMBus NIC and its PCI virtual function share
# one address; the function owns the resources.
build_cloud_vm() {
  local vmbus=LNXSYSTM:00/LNXSYBUS:00/ACPI0004:00/VMBUS:00/000d3a6e-4548-000d-3a6e-4548000d3a6e
  tree_device "$vmbus" vmbus
  tree_interface eth0 2 00:0d:3a:6e:45:48 "$vmbus"
  tree_pci_function 0000:00:02.0 0 "$memory_only"
  mkdir -p "$tree/devices/pci0000:00/0000:00:02.0/msi_irqs/24"
  tree_interface enP1s2 3 00:0d:3a:6e:45:48 pci0000:00/0000:00:02.0
}

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
