#include "platform/proxy.h"

#include <windows.h>
#include <winhttp.h>

namespace platform {
namespace {

// Strings WinHTTP hands out are freed with GlobalFree.
struct GlobalText {
  LPWSTR text = nullptr;
  ~GlobalText() {
    if (text) GlobalFree(text);
  }
  std::wstring Value() const { return text ? std::wstring(text) : std::wstring(); }
};

struct InternetHandle {
  HINTERNET handle = nullptr;
  ~InternetHandle() {
    if (handle) WinHttpCloseHandle(handle);
  }
};

std::wstring UrlHost(const std::wstring& url) {
  std::wstring rest = url;
  const std::size_t scheme = rest.find(L"://");
  if (scheme != std::wstring::npos) rest.erase(0, scheme + 3);
  rest.erase(std::min(rest.find(L'/'), rest.size()));
  const std::size_t colon = rest.rfind(L':');
  if (colon != std::wstring::npos) rest.erase(colon);
  return rest;
}

// "host:port", "http=host:port;https=..." or a list of several: the entry for plain HTTP.
bool PickFromList(const std::wstring& list, ProxyChoice& proxy) {
  std::size_t begin = 0;
  std::wstring fallback;
  while (begin < list.size()) {
    std::size_t end = list.find_first_of(L"; ", begin);
    if (end == std::wstring::npos) end = list.size();
    const std::wstring entry = list.substr(begin, end - begin);
    begin = end + 1;
    if (entry.empty()) continue;
    const std::size_t equals = entry.find(L'=');
    if (equals == std::wstring::npos) {
      if (fallback.empty()) fallback = entry;
    } else if (_wcsicmp(entry.substr(0, equals).c_str(), L"http") == 0) {
      return ParseProxyAddress(entry.substr(equals + 1), proxy);
    }
  }
  return !fallback.empty() && ParseProxyAddress(fallback, proxy);
}

}  // namespace

ProxyChoice ProxyFor(const std::wstring& url) {
  ProxyChoice proxy;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
  if (!WinHttpGetIEProxyConfigForCurrentUser(&settings)) return proxy;
  GlobalText autoUrl{settings.lpszAutoConfigUrl}, fixed{settings.lpszProxy}, bypass{settings.lpszProxyBypass};

  if (settings.fAutoDetect || autoUrl.text) {
    // One session for the process: WinHTTP keeps what automatic detection found (a WPAD search can
    // take seconds) for the next address of the same download.
    static const InternetHandle session{WinHttpOpen(L"Install", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                                    WINHTTP_NO_PROXY_BYPASS, 0)};
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags = autoUrl.text ? WINHTTP_AUTOPROXY_CONFIG_URL : WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    options.lpszAutoConfigUrl = autoUrl.text;
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    if (session.handle && WinHttpGetProxyForUrl(session.handle, url.c_str(), &options, &info)) {
      GlobalText chosen{info.lpszProxy}, skipped{info.lpszProxyBypass};
      if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && !PickFromList(chosen.Value(), proxy))
        proxy = ProxyChoice{};
      return proxy;
    }
    // Automatic configuration that finds nothing falls back to the fixed settings, as browsers do.
  }
  if (!fixed.text || HostBypassed(UrlHost(url), bypass.Value(), L"; ")) return proxy;
  if (!PickFromList(fixed.Value(), proxy)) proxy = ProxyChoice{};
  return proxy;
}

}  // namespace platform
