#!/bin/bash
# The release's optional signing, with a throwaway self-signed certificate: CPack's .zip of this
# Windows build holds hwid.exe, hwid-inspect.exe and hwid.dll signed so that `osslsigncode verify`
# accepts them against that certificate, and the Python wheel's rule signs its hwid.dll; without
# the certificate the same .zip comes out unsigned and byte for byte as before.
# Usage: authenticode.sh BUILD_DIR CPACK PYTHON SOURCE_DIR WORK_DIR
# Exits 77 (skipped) without osslsigncode or openssl.
set -u

build=$1 cpack=$2 python=$3 source=$4 work=$5

for tool in osslsigncode openssl; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: no $tool"
    exit 77
  fi
done

source "$source/tests/e2e/linux/expect.sh"

rm -rf "$work"
mkdir -p "$work/certificate"
cd "$work/certificate" || exit 1
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out certificate.pem -days 2 \
  -subj "/CN=hwid throwaway test signer" 2>/dev/null &&
  openssl pkcs12 -export -inkey key.pem -in certificate.pem -out certificate.pfx \
    -passout pass:throwaway || exit 1

# pack LABEL [VARIABLE=VALUE...]: CPack into $work/LABEL, then the .zip's contents there.
pack() {
  local label=$1
  shift
  env -u HWID_AUTHENTICODE_PFX "$@" SOURCE_DATE_EPOCH=1700000000 \
    "$cpack" --config "$build/CPackConfig.cmake" -B "$work/$label" >/dev/null ||
    fail "$label: cpack failed"
  "$python" -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
    "$work/$label"/*.zip "$work/$label/contents" || fail "$label: no .zip"
}
# verified FILE: osslsigncode accepts FILE's signature against the throwaway certificate.
verified() {
  osslsigncode verify -CAfile "$work/certificate/certificate.pem" "$1" >/dev/null 2>&1
}

signing=(HWID_AUTHENTICODE_PFX="$work/certificate/certificate.pfx"
         HWID_AUTHENTICODE_PASSWORD=throwaway)
pack unsigned
pack again
pack signed "${signing[@]}"
cmp -s "$work/unsigned"/*.zip "$work/again"/*.zip || fail "two unsigned packs differ"
for binary in hwid.exe hwid-inspect.exe hwid.dll; do
  file=$(find "$work/signed/contents" -name "$binary")
  verified "$file" || fail "signed pack: $binary is not validly signed"
  file=$(find "$work/unsigned/contents" -name "$binary")
  ! verified "$file" || fail "unsigned pack: $binary is signed"
done

# The wheel's rule: the same script on its stripped copy of hwid.dll.
cp "$build/language-packages/native/hwid.dll" "$work/hwid.dll"
env "${signing[@]}" "$source/cmake/authenticode_sign.sh" "$work/hwid.dll" >/dev/null ||
  fail "authenticode_sign.sh failed"
verified "$work/hwid.dll" || fail "authenticode_sign.sh left hwid.dll unsigned"
expect_finish
