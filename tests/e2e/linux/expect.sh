# What the end-to-end scripts share: the volume serial worked out apart from the tool, and a
# byte-for-byte check of one run. The sourcing script reports `failures` at its end.

failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# volume_serial DIR: the serial of the file system holding DIR, unsigned, as the identifier
# starts with it. stat prints the file system's two ID words as one hex number; the serial is
# the two folded together by exclusive or.
volume_serial() {
  local fsid
  fsid=$(stat -f -c %i "$1") || return 1
  fsid=$(printf '%016x' "0x$fsid")
  echo $((0x${fsid:0:8} ^ 0x${fsid:8:8}))
}

# signed_serial SERIAL: as bare mode prints it, a signed 32-bit number.
signed_serial() {
  echo $(($1 >= 0x80000000 ? $1 - 0x100000000 : $1))
}

# expect_output LABEL EXPECTED COMMAND...: the command exits 0 and prints exactly EXPECTED.
expect_output() {
  local label=$1 expected=$2 output status
  shift 2
  output=$("$@"; echo "status $?")
  status=${output##*status }
  output=${output%status *}
  [[ $status == 0 ]] || fail "$label: exit status $status"
  if ! cmp -s <(printf '%s' "$output") <(printf '%s' "$expected"); then
    fail "$label: output differs"
    printf '  expected: '; printf '%s' "$expected" | od -An -c | head -4
    printf '  actual:   '; printf '%s' "$output" | od -An -c | head -4
  fi
}

# mount_namespace_require WHAT: exits with 77, which ctest counts as skipped, unless this user
# can make a private mount namespace and mount in it; WHAT names what needs root.
mount_namespace_require() {
  if [[ $(id -u) -ne 0 ]]; then
    echo "skipped: $1 need root"
    exit 77
  fi
  # The namespace, and the tmpfs over /tmp in it, end with the probe.
  if ! unshare -m --propagation private mount -t tmpfs tmpfs /tmp 2>/dev/null; then
    echo "skipped: cannot mount in a private mount namespace here"
    exit 77
  fi
}

# expect_finish: the script's exit status, after a line saying how it went.
expect_finish() {
  if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all cases passed"
}
