#!/usr/bin/env bash
# Code signing of Install.exe: a throw-away certificate made with openssl, a copy of Install.exe
# signed with the command the build uses (scripts/lib/codesign.sh), checked with osslsigncode
# verify. Prints one line per failed check; exits non-zero on any.
set -uo pipefail
ROOT=${1:?usage: codesign_test.sh REPOSITORY_ROOT INSTALL_EXE}
exe=${2:?usage: codesign_test.sh REPOSITORY_ROOT INSTALL_EXE}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=1; fi
}

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/signer.key" -out "$work/signer.crt" -days 2 \
  -subj "/CN=Tavo Test Publisher" -addext "keyUsage=digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  2>/dev/null
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.crt" -out "$work/signer.pfx" \
  -passout pass:throw-away
# The build may have signed Install.exe already: start from the program without a signature.
osslsigncode remove-signature -in "$exe" -out "$work/unsigned.exe" >/dev/null 2>&1 || cp "$exe" "$work/unsigned.exe"
cp "$work/unsigned.exe" "$work/Install.exe"

verify() { osslsigncode verify -in "$1" -CAfile "$work/signer.crt" >"$work/verify.log" 2>&1; }

CODESIGN_PASSWORD=throw-away "$ROOT/scripts/lib/codesign.sh" "$work/Install.exe" "$work/signer.pfx" >/dev/null
check "the signed copy verifies against the certificate" verify "$work/Install.exe"
check "with a SHA-256 digest" grep -q "Message digest algorithm: SHA256" "$work/verify.log"
check "naming the publisher's certificate" grep -q "Subject: /CN=Tavo Test Publisher" "$work/verify.log"
check "the program is unchanged but for the signature" \
  bash -c 'osslsigncode remove-signature -in "$1" -out "$2" >/dev/null && cmp -s "$2" "$3"' _ \
  "$work/Install.exe" "$work/removed.exe" "$work/unsigned.exe"

CODESIGN_PASSWORD=throw-away "$ROOT/scripts/lib/codesign.sh" "$work/Install.exe" "$work/signer.pfx" >/dev/null
check "signing again replaces the signature" verify "$work/Install.exe"
# One byte of the code changed after signing: the signature no longer matches.
cp "$work/Install.exe" "$work/tampered.exe"
printf '\xcc' | dd of="$work/tampered.exe" bs=1 seek=4096 conv=notrunc status=none
neither_verifies() { ! verify "$1" && ! verify "$2"; }
check "neither an unsigned nor a changed program verifies" neither_verifies "$work/unsigned.exe" "$work/tampered.exe"

cp "$work/unsigned.exe" "$work/wrong.exe"
check "a wrong password signs nothing" bash -c \
  '! CODESIGN_PASSWORD=wrong "$1" "$2" "$3" >/dev/null 2>&1 && cmp -s "$2" "$4" && ! ls "$2".* >/dev/null 2>&1' _ \
  "$ROOT/scripts/lib/codesign.sh" "$work/wrong.exe" "$work/signer.pfx" "$work/unsigned.exe"
check "no password is refused" bash -c '! env -u CODESIGN_PASSWORD "$1" "$2" "$3" >/dev/null 2>&1' _ \
  "$ROOT/scripts/lib/codesign.sh" "$work/wrong.exe" "$work/signer.pfx"

exit $failed
