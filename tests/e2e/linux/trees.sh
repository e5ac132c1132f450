# Building sysfs trees as the kernel lays sysfs out (devices under devices/, interfaces under their
# device's net/ or devices/virtual/net/, relative links for class/net/<name>, device and
# subsystem), and running a program with a tree over /sys. Sourced by the end-to-end scripts that
# mount; $tree is the tree being built.

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

# over_sys TREE COMMAND...: COMMAND in a private mount namespace with TREE bind-mounted over /sys.
over_sys() {
  unshare -m --propagation private \
    sh -c 'mount --bind "$1" /sys && shift && exec "$@"' sh "$@"
}

# over_sys_as_nobody TREE COMMAND...: the same as the user nobody, without root's rights to read
# what the tree's modes forbid.
over_sys_as_nobody() {
  local tree=$1
  shift
  over_sys "$tree" setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
}
