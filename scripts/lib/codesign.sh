#!/usr/bin/env bash
# Signs a Windows program in place with Authenticode (SHA-256) using osslsigncode, as a release is
# signed: the certificate and its private key come from a PKCS#12 file, its password from the
# environment (CODESIGN_PASSWORD; never on a command line, where other users could read it).
# CODESIGN_TIMESTAMP_URL, when set, names an RFC 3161 time-stamp server, so that the signature
# stays valid after the certificate expires. An existing signature is replaced.
#
#   codesign.sh PROGRAM PFX
#
# `scripts/build win` runs it on Install.exe when the build is given CODESIGN_PFX; the code
# signing test runs it on a copy.
set -euo pipefail
program=${1:?usage: codesign.sh PROGRAM PFX}
pfx=${2:?usage: codesign.sh PROGRAM PFX}
if [[ ! -v CODESIGN_PASSWORD ]]; then
  echo "codesign: CODESIGN_PASSWORD is not set (the password of $pfx)" >&2
  exit 2
fi
timestamp=()
[[ -n ${CODESIGN_TIMESTAMP_URL:-} ]] && timestamp=(-ts "$CODESIGN_TIMESTAMP_URL")

# Written beside the program and moved over it only once complete.
signed=$program.signed
trap 'rm -f "$signed"' EXIT
printf '%s' "$CODESIGN_PASSWORD" |
  osslsigncode sign -pkcs12 "$pfx" -readpass - -h sha256 -n "Tavo手机助手" "${timestamp[@]}" \
    -in "$program" -out "$signed" >/dev/null
chmod --reference="$program" "$signed"
mv -f "$signed" "$program"
echo "codesign: signed $program"
