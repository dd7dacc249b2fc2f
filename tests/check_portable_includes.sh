#!/usr/bin/env bash
# The portable core (download/, unzip/) reaches the operating system only through platform/:
# fails when one of its files includes an operating-system header.
root=${1:?usage: check_portable_includes.sh SOURCE_DIR}
pattern='#[[:space:]]*include[[:space:]]*<(windows|winsock2?|ws2tcpip|shellapi|shlobj|objbase|wincrypt|bcrypt|unistd|pthread|fcntl|netdb|poll)\.h>|#[[:space:]]*include[[:space:]]*<(sys|arpa|netinet)/'
hits=$(grep -rnE "$pattern" "$root/download" "$root/unzip" 2>/dev/null)
if [[ -n $hits ]]; then
  echo "operating-system headers in the portable core:"
  echo "$hits"
  exit 1
fi
echo "portable core includes no operating-system header"
