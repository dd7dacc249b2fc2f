#!/usr/bin/env bash
# Include arrows run one way:
#   - the portable core (download/, unzip/) reaches the operating system only through platform/:
#     none of its files includes an operating-system header, nor the window framework (ui/) or app/;
#   - platform/ is the OS seam and nothing above it: it includes neither app/, ui/ nor skin/;
#   - the window framework (ui/), skin/ and system/ include no app/, which alone knows the window's
#     messages and shows boxes; ui/ does not include skin/ either, which is built on it.
root=${1:?usage: check_portable_includes.sh SOURCE_DIR}
status=0
os_headers='#[[:space:]]*include[[:space:]]*<(windows|winsock2?|ws2tcpip|shellapi|shlobj|objbase|wincrypt|bcrypt|winhttp|unistd|pthread|fcntl|netdb|poll)\.h>|#[[:space:]]*include[[:space:]]*<(sys|arpa|netinet)/'
hits=$(grep -rnE "$os_headers" "$root/download" "$root/unzip" 2>/dev/null)
if [[ -n $hits ]]; then
  echo "operating-system headers in the portable core:"
  echo "$hits"
  status=1
fi
# Each row: the folders, then the folders none of their files may include.
while read -r folders forbidden; do
  IFS=, read -ra from <<<"$folders"
  hits=$(grep -rnE "#[[:space:]]*include[[:space:]]*\"(${forbidden//,/|})/" "${from[@]/#/$root/}" 2>/dev/null)
  if [[ -n $hits ]]; then
    echo "includes from $folders into $forbidden:"
    echo "$hits"
    status=1
  fi
done <<'ROWS'
download,unzip app,ui
platform app,ui,skin
ui app,skin
skin,system app
ROWS
[[ $status -eq 0 ]] && echo "include arrows run one way: no OS header in the core, nothing below app/ includes it"
exit $status
