# Machine-shaped sysfs trees for the end-to-end scripts that source this file: a single-board
# computer, a laptop and a cloud VM, built from the kernel's layout.

source "$(dirname "${BASH_SOURCE[0]}")/trees.sh"

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
