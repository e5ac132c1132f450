# Machine-shaped sysfs trees for the end-to-end scripts that source this file: a single-board
# computer, a laptop and a cloud VM, built from the kernel's layout.

# Building a tree as the kernel lays sysfs out: devices under devices/, interfaces under their
# device's net/ (or devices/virtual/net/), and relative links for class/net/<name>, device and
# subsystem. $tree is the tree being built.

# tree_device PATH BUS: devices/PATH on bus BUS.
tree_device() {
  mkdir -p "$tree/devices/$1" "$tree/bus/$2"
  ln -sr "$tree/bus/$2" "$tree/devices/$1/subsystem"
}

# tree_interface NAME INDEX ADDRESS [DEVICE]: an Ethernet interface, virtual without a device.
tree_interface() {
  local device=${4:-virtual}
  local dir=$tree/devices/$device/net/$1
  mkdir -p "$dir" "$tree/class/net"
  echo 1 >"$dir/type"
  echo "$2" >"$dir/ifindex"
  echo "$3" >"$dir/address"
  [[ -n ${4:-} ]] && ln -sr "$tree/devices/$device" "$dir/device"
  ln -sr "$dir" "$tree/class/net/$1"
}

# tree_of_node DEVICE NODE PROPERTY...: the device's device-tree node, with these properties
# (each eight bytes: only their presence and length matter).
tree_of_node() {
  local device=$1 node=$tree/firmware/devicetree/base/$2
  shift 2
  mkdir -p "$node"
  for property in "$@"; do
    printf '\0\0\0\0\xfd\x58\0\0' >"$node/$property"
  done
  ln -sr "$node" "$tree/devices/$device/of_node"
}

# tree_pci_function SLOT IRQ RESOURCE: a PCI function with these irq and resource files.
tree_pci_function() {
  tree_device "pci0000:00/$1" pci
  echo "$2" >"$tree/devices/pci0000:00/$1/irq"
  printf '%s\n' "$3" >"$tree/devices/pci0000:00/$1/resource"
}

memory_and_ports='0x00000000f7e00000 0x00000000f7e1ffff 0x0000000000040200
0x000000000000e000 0x000000000000e01f 0x0000000000040101'
memory_only='0x0000004000100000 0x000000400017ffff 0x0000000000140204'

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
