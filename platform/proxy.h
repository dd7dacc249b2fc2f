// Which forward proxy, if any, carries a plain-HTTP request: the system's settings as the user
// made them.
//
// Windows: WinHTTP's view of the user's Internet settings (WinHttpGetIEProxyConfigForCurrentUser):
// automatic configuration (a PAC address or auto-detection) goes through WinHttpGetProxyForUrl;
// otherwise the fixed proxy ("host:port", or the "http=" entry of a per-protocol list) unless the
// host matches the bypass list ("<local>" for names without a dot, "*" wildcards).
// Elsewhere: the http_proxy (or HTTP_PROXY) environment variable, unless the host matches an entry
// of no_proxy (comma-separated; "*" for all, a name matches itself and its subdomains).
// Nothing here prints or throws; without a usable setting the answer is "direct".
#pragma once

#include <string>

namespace platform {

struct ProxyChoice {
  std::wstring host;  // empty: connect to the server directly
  int port = 0;
};

// The proxy for an "http://" URL.
ProxyChoice ProxyFor(const std::wstring& url);

// Shared by both implementations: "[http://]host[:port][/]" as a proxy (port 80 when none is
// named); false when no host is named.
bool ParseProxyAddress(const std::wstring& text, ProxyChoice& proxy);
// True when `host` matches one entry of a bypass list: entries separated by `separators`, "*"
// wildcards, a leading "." or "*." matching subdomains, "<local>" matching names without a dot.
bool HostBypassed(const std::wstring& host, const std::wstring& list, const wchar_t* separators);

}  // namespace platform
