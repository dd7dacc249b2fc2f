#!/usr/bin/env bash
# The demo package tool and the vendor's file server, checked with zip tools and curl against a
# real nginx on a free loopback port. Prints one line per failed check; exits non-zero on any.
set -uo pipefail
ROOT=${1:?usage: package_and_server_test.sh REPOSITORY_ROOT}
work=$(mktemp -d)
state=$work/state
trap '"$ROOT/tools/server/vendor-server" stop --state "$state" >/dev/null 2>&1; "$ROOT/tools/server/vendor-server" stop --state "$work/state2" >/dev/null 2>&1; rm -rf "$work"' EXIT

failed=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=1; fi
}

# --- the package -----------------------------------------------------------------------------
bin=$work/bin
mkdir -p "$bin"
head -c 50000 /dev/urandom >"$bin/Tavo.exe"
head -c 40000 /dev/urandom >"$bin/TavoUnInstall.exe"
head -c 30000 /dev/urandom >"$bin/QXLD_Helper.exe"
echo other >"$bin/winlaunch.exe"

# A throw-away signing key: the package is signed as the vendor's pipeline signs it.
openssl ecparam -name prime256v1 -genkey -noout -out "$work/signer.pem"
openssl ec -in "$work/signer.pem" -pubout -out "$work/signer.pub.pem" 2>/dev/null
make_package() { "$ROOT/tools/package/make-package" --bin "$bin" --key "$work/signer.pem" "$@"; }
verifies() { openssl dgst -sha256 -verify "$work/signer.pub.pem" -signature "$1" "$2" >/dev/null 2>&1; }
out=$(make_package --out "$work/pkg" --size 3 --files 120) || { echo "FAILED: make-package ran"; exit 1; }
zip=$work/pkg/TavoPhoneAx.zip
md5=$(tail -n 1 <<<"$out" | sed -n 's/^md5: \([0-9a-f]\{32\}\)$/\1/p')
check "make-package prints the archive's MD5" test "$md5" = "$(md5sum "$zip" | cut -d' ' -f1)"
check "the archive tests clean with unzip" unzip -tqq "$zip"
check "the signature beside it verifies with the signing key's public half" verifies "$zip.sig" "$zip"

listing=$(unzip -Z1 "$zip")
check "the three programs and 120 filler files, all in TavoPhoneAx/, no other program" bash -c '
  ! grep -qv "^TavoPhoneAx/" <<<"$1" && ! grep -q winlaunch <<<"$1" && test "$(grep -vc "/$" <<<"$1")" -eq 123 &&
  for p in Tavo.exe TavoUnInstall.exe QXLD_Helper.exe; do grep -qx "TavoPhoneAx/$p" <<<"$1" || exit 1; done' _ "$listing"
read -r plain packed < <(unzip -Zt "$zip" | sed -n 's/.* \([0-9]*\) bytes uncompressed, \([0-9]*\) bytes compressed.*/\1 \2/p')
check "the filler adds up to the requested size and is partly compressible ($packed of $plain)" \
  test "$plain" -eq $((3 * 1048576 + 120000)) -a $((packed * 100 / plain)) -ge 30 -a $((packed * 100 / plain)) -le 95

again=$(make_package --out "$work/pkg2" --size 3 --files 120 | tail -n 1)
check "equal inputs give a byte-identical archive" test "$again" = "md5: $md5"
other=$(make_package --out "$work/pkg3" --size 3 --files 120 --seed 2 | tail -n 1)
check "another seed gives other filler" test "$other" != "md5: $md5"
check "and a signature of that other archive" verifies "$work/pkg3/TavoPhoneAx.zip.sig" "$work/pkg3/TavoPhoneAx.zip"
openssl ecparam -name prime256v1 -genkey -noout -out "$work/other-signer.pem"
make_package --out "$work/pkg2" --size 3 --files 120 --key "$work/other-signer.pem" >/dev/null
check "another key signs the unchanged archive anew" bash -c '! cmp -s "$1" "$2"' _ "$zip.sig" "$work/pkg2/TavoPhoneAx.zip.sig"
rm "$bin/Tavo.exe"
check "a missing Tavo.exe is refused" bash -c '! "$@" >/dev/null 2>&1' _ \
  "$ROOT/tools/package/make-package" --bin "$bin" --out "$work/pkg4" --size 1 --files 10

# --- the server ------------------------------------------------------------------------------
offline=$work/offline.exe
head -c 70000 /dev/urandom >"$offline"
server() { "$ROOT/tools/server/vendor-server" "$@"; }
# A port the system just called free may be taken before nginx binds it: try a few.
started=0
for _ in 1 2 3; do
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  if server start --port "$port" --root "$work/www" --state "$state" --package "$zip" --offline "$offline"; then
    started=1
    break
  fi
done
[[ $started == 1 ]] || { echo "FAILED: the server started"; exit 1; }
base=http://127.0.0.1:$port
size=$(stat -c %s "$zip")

read -r status location < <(curl -s -o /dev/null -w '%{http_code} %{redirect_url}\n' "$base/consezip/TavoPhoneAx.zip")
check "the package address answers 302 (got $status)" test "$status" = 302
check "the redirect carries the package's MD5 and keeps its file name ($location)" \
  test "$location" = "$base/download/TavoPhoneAx.zip?md5=$md5"

headers=$(curl -s -D - -o "$work/range" -r 1000-1999 "$location")
check "a range request answers 206 with the whole size and exactly those bytes" bash -c \
  'grep -q "^HTTP/1.1 206" <<<"$1" && grep -qi "^Content-Range: bytes 1000-1999/$2" <<<"$1" && cmp -s "$3" <(tail -c +1001 "$4" | head -c 1000)' \
  _ "$headers" "$size" "$work/range" "$zip"
curl -s -L -o "$work/whole" "$base/consezip/TavoPhoneAx.zip"
check "following the redirect downloads the package intact" cmp -s "$work/whole" "$zip"

headers=$(curl -s -D - -o "$work/terms" "$base/terms.html")
check "/terms.html is the agreement, served as UTF-8 HTML" bash -c \
  'grep -qi "^Content-Type: text/html; charset=utf-8" <<<"$1" && grep -q "Tavo手机助手用户许可协议" "$2"' _ "$headers" "$work/terms"
curl -s -o "$work/offline" "$base/consezip/InStallComplete.exe"
check "the offline installer is served" cmp -s "$work/offline" "$offline"
curl -s -o "$work/served.sig" "${location%%\?*}.sig"
check "the signature is served at the final package path with .sig appended" cmp -s "$work/served.sig" "$zip.sig"
curl -s -o /dev/null -r 0-1 "$location"
check "the access log records the body bytes of each answer" grep -q '" 206 2 "bytes=0-1"' "$state/access.log"

# Hostile servers: a signature of another archive, and none at all.
restart() { server stop --state "$state" && server start --port "$port" --root "$work/www" --state "$state" "$@" >/dev/null; }
served_sig() {  # the status of the signature's address; its body in $work/served.sig
  curl -s -o "$work/served.sig" -w '%{http_code}' "$base/download/TavoPhoneAx.zip.sig"
}
restart --sig "$work/pkg3/TavoPhoneAx.zip.sig"
status=$(served_sig)
check "--sig serves the given signature ($status)" cmp -s "$work/served.sig" "$work/pkg3/TavoPhoneAx.zip.sig"
restart --no-sig
check "--no-sig serves none" test "$(served_sig)" = 404
restart --package "$work/pkg3/TavoPhoneAx.zip"
status=$(served_sig)
check "a new package brings its own signature ($status)" cmp -s "$work/served.sig" "$work/pkg3/TavoPhoneAx.zip.sig"
rm "$work/pkg3/TavoPhoneAx.zip.sig"
restart --package "$work/pkg3/TavoPhoneAx.zip" 2>/dev/null
check "a package without one is served without any, never with the last one" test "$(served_sig)" = 404

check "a second server on the same port is refused" bash -c '! "$@" >/dev/null 2>&1' _ \
  "$ROOT/tools/server/vendor-server" start --port "$port" --root "$work/www" --state "$work/state2"
check "while the first keeps serving" curl -sf -o /dev/null "$base/terms.html"
check "starting twice from one state directory is refused" bash -c '! "$@" >/dev/null 2>&1' _ \
  "$ROOT/tools/server/vendor-server" start --port "$port" --root "$work/www" --state "$state"

pid=$(cat "$state/nginx.pid")
server stop --state "$state"
check "stop ends nginx and closes the port" bash -c '! kill -0 "$1" 2>/dev/null && ! curl -s -o /dev/null "$2"' _ "$pid" "$base/terms.html"

exit $failed
