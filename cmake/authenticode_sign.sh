#!/bin/bash
# Signs the Windows programs and libraries given (Authenticode, with osslsigncode) in place, when
# HWID_AUTHENTICODE_PFX names a PKCS#12 certificate file; without it, does nothing, so an unsigned
# build stays byte for byte reproducible. A signature carries its own time, so signed files are
# not. Called on the stripped files that ship (stripping would drop a signature): by CPack before
# it packs (cmake/authenticode_sign.cmake) and by the Python wheel's rule for hwid.dll.
# Environment: HWID_AUTHENTICODE_PFX, HWID_AUTHENTICODE_PASSWORD (the certificate's password),
# HWID_AUTHENTICODE_TIMESTAMP_URL (optional: an RFC 3161 time-stamping server, so the signature
# outlives the certificate).
# Usage: authenticode_sign.sh FILE...
set -euo pipefail
[[ -n ${HWID_AUTHENTICODE_PFX:-} ]] || exit 0

timestamp=()
if [[ -n ${HWID_AUTHENTICODE_TIMESTAMP_URL:-} ]]; then
  timestamp=(-ts "$HWID_AUTHENTICODE_TIMESTAMP_URL")
fi
for file in "$@"; do
  # The password through a file descriptor, not the command line that `ps` shows.
  osslsigncode sign -pkcs12 "$HWID_AUTHENTICODE_PFX" \
    -readpass <(printf '%s' "${HWID_AUTHENTICODE_PASSWORD:-}") -h sha256 -n hwid \
    "${timestamp[@]}" -in "$file" -out "$file.signed" >/dev/null
  mv "$file.signed" "$file"
  echo "signed $file"
done
