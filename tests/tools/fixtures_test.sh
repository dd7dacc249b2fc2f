#!/usr/bin/env bash
# The demo package tool and the vendor's file server, checked with zip tools, openssl and curl
# against a real nginx on a free loopback port. Prints one line per failed check; exits non-zero on any.
set -uo pipefail
ROOT=${1:?usage: fixtures_test.sh REPOSITORY_ROOT}
work=$(mktemp -d)
state=$work/state
server() { "$ROOT/tools/fixtures/server/vendor-server" "$@"; }
trap 'server stop --state "$state" >/dev/null 2>&1; rm -rf "$work"' EXIT
failed=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=1; fi
}

# --- the package: signed with a throw-away key as the vendor's pipeline signs it -------------
bin=$work/bin
mkdir -p "$bin"
for p in Tavo.exe TavoUnInstall.exe QXLD_Helper.exe; do head -c 30000 /dev/urandom >"$bin/$p"; done
echo other >"$bin/winlaunch.exe"
openssl ecparam -name prime256v1 -genkey -noout -out "$work/signer.pem"
openssl ec -in "$work/signer.pem" -pubout -out "$work/signer.pub.pem" 2>/dev/null
make_package() { "$ROOT/tools/fixtures/package/make-package" --bin "$bin" --key "$work/signer.pem" --size 1 --files 40 "$@" | tail -n 1; }
verifies() { openssl dgst -sha256 -verify "$work/signer.pub.pem" -signature "$1.sig" "$1" >/dev/null 2>&1; }
zip=$work/pkg/TavoPhoneAx.zip
out=$(make_package --out "$work/pkg") || { echo "FAILED: make-package ran"; exit 1; }
md5=$(md5sum "$zip" | cut -d' ' -f1)
check "make-package prints the archive's MD5" test "$out" = "md5: $md5"
check "the archive tests clean with unzip, and its signature verifies" eval 'unzip -tqq "$zip" && verifies "$zip"'
listing=$(unzip -Z1 "$zip")
check "the three programs and 40 filler files, all in TavoPhoneAx/, no other program" bash -c '
  ! grep -qv "^TavoPhoneAx/" <<<"$1" && ! grep -q winlaunch <<<"$1" && test "$(grep -vc "/$" <<<"$1")" -eq 43' _ "$listing"
check "equal inputs give a byte-identical archive" test "$(make_package --out "$work/pkg2")" = "md5: $md5"
make_package --out "$work/pkg3" --seed 2 >/dev/null  # another archive, for the signature cases below

# --- the server --------------------------------------------------------------------------------
head -c 70000 /dev/urandom >"$work/offline.exe"
# A port the system just called free may be taken before nginx binds it: try a few.
for _ in 1 2 3; do
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  server start --port "$port" --root "$work/www" --state "$state" --package "$zip" --offline "$work/offline.exe" && break
done
base=http://127.0.0.1:$port
location=$(curl -s -o /dev/null -w '%{http_code} %{redirect_url}' "$base/consezip/TavoPhoneAx.zip")
check "the package address answers 302 to the package with its MD5 ($location)" \
  test "$location" = "302 $base/download/TavoPhoneAx.zip?md5=$md5"
headers=$(curl -s -D - -o "$work/range" -r 1000-1999 "$base/download/TavoPhoneAx.zip")
check "a range request answers 206 with the whole size and exactly those bytes" bash -c \
  'grep -q "^HTTP/1.1 206" <<<"$1" && grep -qi "^Content-Range: bytes 1000-1999/$2" <<<"$1" && cmp -s "$3" <(tail -c +1001 "$4" | head -c 1000)' \
  _ "$headers" "$(stat -c %s "$zip")" "$work/range" "$zip"
curl -s -L -o "$work/whole" "$base/consezip/TavoPhoneAx.zip"
check "following the redirect downloads the package intact" cmp -s "$work/whole" "$zip"
check "/terms.html is the agreement, the offline installer is served" eval \
  'curl -s "$base/terms.html" | grep -q "Tavo手机助手用户许可协议" && curl -s "$base/consezip/InStallComplete.exe" | cmp -s - "$work/offline.exe"'
check "the access log records the body bytes of each answer" grep -q '" 206 1000 "bytes=1000-1999"' "$state/access.log"

# The signature at the package's path with .sig appended: its own, the one given, none.
sig_served() {  # sig_served EXPECTED_FILE|404 START_OPTIONS...
  local expected=$1
  shift
  server stop --state "$state" && server start --port "$port" --root "$work/www" --state "$state" "$@" >/dev/null 2>&1
  local status
  status=$(curl -s -o "$work/served.sig" -w '%{http_code}' "$base/download/TavoPhoneAx.zip.sig")
  if [[ $expected == 404 ]]; then test "$status" = 404; else cmp -s "$work/served.sig" "$expected"; fi
}
check "the package's own signature is served" sig_served "$zip.sig" --package "$zip"
check "--sig serves the given signature" sig_served "$work/pkg3/TavoPhoneAx.zip.sig" --sig "$work/pkg3/TavoPhoneAx.zip.sig"
check "--no-sig serves none" sig_served 404 --no-sig
rm "$work/pkg3/TavoPhoneAx.zip.sig"
check "a package without one is served without any, never with the last one" sig_served 404 --package "$work/pkg3/TavoPhoneAx.zip"

pid=$(cat "$state/nginx.pid")
server stop --state "$state"
check "stop ends nginx and closes the port" eval '! kill -0 "$pid" 2>/dev/null && ! curl -s -o /dev/null "$base/terms.html"'
exit $failed
