#include "platform/proxy.h"

#include <cstdlib>

#include "platform/text.h"

namespace platform {
namespace {

std::wstring Environment(const char* lower, const char* upper) {
  const char* value = std::getenv(lower);
  if (!value || !*value) value = std::getenv(upper);
  return value ? FromUtf8(value) : std::wstring();
}

// The host of "http://host[:port]/...".
std::wstring UrlHost(const std::wstring& url) {
  std::wstring rest = url;
  const std::size_t scheme = rest.find(L"://");
  if (scheme != std::wstring::npos) rest.erase(0, scheme + 3);
  rest.erase(std::min(rest.find(L'/'), rest.size()));
  const std::size_t colon = rest.rfind(L':');
  if (colon != std::wstring::npos) rest.erase(colon);
  return rest;
}

}  // namespace

ProxyChoice ProxyFor(const std::wstring& url) {
  ProxyChoice proxy;
  const std::wstring setting = Environment("http_proxy", "HTTP_PROXY");
  if (setting.empty() || HostBypassed(UrlHost(url), Environment("no_proxy", "NO_PROXY"), L",")) return proxy;
  if (!ParseProxyAddress(setting, proxy)) return ProxyChoice{};
  return proxy;
}

}  // namespace platform
