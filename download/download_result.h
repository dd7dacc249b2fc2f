// Result codes of the download engine, from each step inside it up to its public functions.
// DL_OK is the one success; DL_ALREADY_PRESENT ends a download without fetching, which a caller
// may accept as the file being there. The numbers appear in logs and outputs and never change;
// there are no 0, 3, 13 and 17.
#pragma once

enum DownloadResult : int {
  DL_OK = 1,
  DL_HTTP_DENIED = 2,          // a client error no retry mends (4xx but 408 and 429)
  DL_BAD_URL = 4,              // no host, path or file name, not http (also after five redirects in a row)
  DL_STOPPED = 5,              // the callback asked the workers to stop
  DL_CHECKSUM_MISMATCH = 6,    // the joined file's MD5 differs from the URL's md5 value
  DL_ALREADY_PRESENT = 7,      // the target exists and may not be replaced
  DL_NO_EVENT = 8,             // the stop event could not be made
  DL_OUTPUT_OPEN_FAILED = 9,   // the target could not be made from the parts
  DL_PART_READ_FAILED = 10,    // a part file could not be read for joining
  DL_PART_OPEN_FAILED = 11,    // a worker could not open, create or write its part file
  DL_BAD_ARGUMENT = 12,        // url or save location missing, or the directory not made
  DL_HEADER_FAILED = 14,       // a response header was not read
  DL_SEND_FAILED = 15,         // a request was not sent
  DL_RECV_FAILED = 16,         // a body receive failed, or an answer was not the one asked for
  DL_CONNECT_FAILED = 18,      // no connection; also the value before any step reports
  DL_BAD_REDIRECT = 19,        // a redirect without a usable Location
  DL_THREAD_FAILED = 20,       // a worker thread could not be created
  DL_NO_MEMORY = 21,           // memory ran out
  DL_UNSAFE_NAME = 22,         // the final URL's file name is not a plain file name
  DL_NO_SIZE = 23,             // no size from the final address and no md5 to check the bytes by
  DL_TOO_LARGE = 24,           // a small file's body is larger than its limit
  DL_URL_USERINFO = 25,        // the address names a user or password ("user:pw@host"), never sent
};

// The code's name, for diagnostics and the command-line harness; "unknown" for another number.
[[nodiscard]] const char* DownloadResultName(DownloadResult code) noexcept;
