#!/usr/bin/env bash
# Include arrows run one way:
#   - the portable core (download/, unzip/) reaches the operating system only through platform/:
#     none of its files includes an operating-system header;
#   - nothing below the application (download/, unzip/, skin/, system/, platform/) includes app/,
#     which alone knows the window's messages and shows boxes.
root=${1:?usage: check_portable_includes.sh SOURCE_DIR}
status=0
os_headers='#[[:space:]]*include[[:space:]]*<(windows|winsock2?|ws2tcpip|shellapi|shlobj|objbase|wincrypt|bcrypt|winhttp|unistd|pthread|fcntl|netdb|poll)\.h>|#[[:space:]]*include[[:space:]]*<(sys|arpa|netinet)/'
hits=$(grep -rnE "$os_headers" "$root/download" "$root/unzip" 2>/dev/null)
if [[ -n $hits ]]; then
  echo "operating-system headers in the portable core:"
  echo "$hits"
  status=1
fi
hits=$(grep -rnE '#[[:space:]]*include[[:space:]]*"app/' "$root/download" "$root/unzip" "$root/skin" "$root/system" \
       "$root/platform" 2>/dev/null)
if [[ -n $hits ]]; then
  echo "includes that run back up into app/:"
  echo "$hits"
  status=1
fi
[[ $status -eq 0 ]] && echo "include arrows run one way: no OS header in the core, nothing includes app/"
exit $status
