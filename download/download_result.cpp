#include "download/download_result.h"

const char* DownloadResultName(DownloadResult code) noexcept {
  // A switch without default: the compiler names a code that is missing here.
  switch (code) {
    case DL_OK: return "DL_OK";
    case DL_HTTP_DENIED: return "DL_HTTP_DENIED";
    case DL_BAD_URL: return "DL_BAD_URL";
    case DL_STOPPED: return "DL_STOPPED";
    case DL_CHECKSUM_MISMATCH: return "DL_CHECKSUM_MISMATCH";
    case DL_ALREADY_PRESENT: return "DL_ALREADY_PRESENT";
    case DL_NO_EVENT: return "DL_NO_EVENT";
    case DL_OUTPUT_OPEN_FAILED: return "DL_OUTPUT_OPEN_FAILED";
    case DL_PART_READ_FAILED: return "DL_PART_READ_FAILED";
    case DL_PART_OPEN_FAILED: return "DL_PART_OPEN_FAILED";
    case DL_BAD_ARGUMENT: return "DL_BAD_ARGUMENT";
    case DL_HEADER_FAILED: return "DL_HEADER_FAILED";
    case DL_SEND_FAILED: return "DL_SEND_FAILED";
    case DL_RECV_FAILED: return "DL_RECV_FAILED";
    case DL_CONNECT_FAILED: return "DL_CONNECT_FAILED";
    case DL_BAD_REDIRECT: return "DL_BAD_REDIRECT";
    case DL_THREAD_FAILED: return "DL_THREAD_FAILED";
    case DL_NO_MEMORY: return "DL_NO_MEMORY";
    case DL_UNSAFE_NAME: return "DL_UNSAFE_NAME";
    case DL_NO_SIZE: return "DL_NO_SIZE";
    case DL_TOO_LARGE: return "DL_TOO_LARGE";
    case DL_URL_USERINFO: return "DL_URL_USERINFO";
  }
  return "unknown";
}
