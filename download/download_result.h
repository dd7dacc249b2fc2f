// Result codes of the download engine. 1 and 7 are the two successes; there are no 3, 13 and 17.
#pragma once

enum DownloadResult : int {
  DL_OK = 1,
  DL_HTTP_DENIED = 2,          // a status line named 404 or 403
  DL_BAD_URL = 4,              // no host, path or file name (also after five redirects in a row)
  DL_STOPPED = 5,              // the callback asked the workers to stop
  DL_CHECKSUM_MISMATCH = 6,    // the joined file's MD5 differs from the URL's md5 value
  DL_ALREADY_PRESENT = 7,      // the target exists and may not be replaced
  DL_NO_EVENT = 8,             // the stop event could not be made
  DL_OUTPUT_OPEN_FAILED = 9,   // the target could not be created for joining
  DL_PART_READ_FAILED = 10,    // a part file could not be opened for joining
  DL_PART_OPEN_FAILED = 11,    // a worker could not open or create its part file
  DL_BAD_ARGUMENT = 12,        // url or save location missing, or the directory not made
  DL_HEADER_FAILED = 14,       // a response header was not read
  DL_SEND_FAILED = 15,         // a request was not sent
  DL_RECV_FAILED = 16,         // a body receive failed, or a range request got another range
  DL_CONNECT_FAILED = 18,      // no connection; also the value before any step reports
  DL_BAD_REDIRECT = 19,        // a 301 or 302 without a usable Location
  DL_THREAD_FAILED = 20,       // a worker thread could not be created
  DL_NO_MEMORY = 21,           // the segment or handle array could not be allocated
};

// The code's name, for diagnostics and the command-line harness.
const char* DownloadResultName(int code);
