# Network namespaces for the end-to-end tests, sourced by the scripts that run a program in them:
# each case's namespace holds exactly the veth adapters it asks for, whose peers wait in one
# shared namespace. Everything made here is deleted when the sourcing script exits.

netns_prefix=hwid-e2e-$$
netns_made=()

netns_cleanup() {
  for namespace in "${netns_made[@]}"; do
    ip netns delete "$namespace" 2>/dev/null
  done
}

netns_add() {
  ip netns add "$1" || return 1
  netns_made+=("$1")
}

# Exits with 77, which ctest counts as skipped, unless namespaces can be made here.
netns_require() {
  if [[ $(id -u) -ne 0 ]]; then
    echo "skipped: network namespaces need root"
    exit 77
  fi
  if ! command -v ip >/dev/null; then
    echo "skipped: needs ip from iproute2"
    exit 77
  fi
  trap netns_cleanup EXIT
  if ! netns_add "$netns_prefix-peers"; then
    echo "skipped: cannot make network namespaces here"
    exit 77
  fi
}

# netns_with_adapters NAME MAC...: the namespace $netns_prefix-NAME, holding eth0, eth1, ... with
# these addresses in this order.
netns_with_adapters() {
  local name=$1 count=0
  shift
  netns_add "$netns_prefix-$name" || return 1
  for mac in "$@"; do
    ip link add name "eth$count" address "$mac" netns "$netns_prefix-$name" type veth \
      peer name "$name-$count" netns "$netns_prefix-peers" || return 1
    count=$((count + 1))
  done
}
