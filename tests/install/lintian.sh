#!/bin/bash
# lintian over the Debian packages: no error, and no warning but those kept on purpose (see
# docs/releases.md, "Debian packages", for why each is kept).
# Usage: lintian.sh PACKAGE_DIR
# Exits 77 (skipped) when lintian is not installed.
set -u

kept_warnings=(
  initial-upload-closes-no-bugs                # not uploaded to Debian: there is no ITP bug
  pkg-config-unavailable-for-cross-compilation # hwid.pc in /usr/lib/pkgconfig, not multiarch
)

if ! command -v lintian >/dev/null; then
  echo "skipped: lintian is not installed (Debian package lintian)"
  exit 77
fi

shopt -s nullglob
packages=("$1"/*.deb)
if ((${#packages[@]} == 0)); then
  echo "FAIL: no .deb in $1"
  exit 1
fi

# Root is warned against but changes nothing in what lintian reports.
report=$(lintian --tag-display-limit 0 "${packages[@]}" 2>&1)
echo "$report"
kept=$(printf '|%s' "${kept_warnings[@]}")
unexpected=$(grep -E '^(E|W): ' <<<"$report" | grep -Ev "^W: [^ ]+: (${kept:1})( |$)")
if [[ -n $unexpected ]]; then
  echo "FAIL: lintian reports errors or warnings not kept on purpose:"
  echo "$unexpected"
  exit 1
fi
echo "no lintian errors; warnings kept: ${kept_warnings[*]}"
