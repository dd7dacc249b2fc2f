// Control ids of the installer window and its private messages.
//
// The private messages are plain message numbers, not offsets from WM_USER: the install worker,
// the download callback and the extractor post them to the window by these values.
#pragma once

enum ControlId : int {
  IDC_INSTALL = 1005,
  IDC_AGREE = 1006,
  IDC_CUSTOM_OPEN = 1007,
  IDC_CUSTOM_CLOSE = 1008,
  IDC_CLOSE = 1009,
  IDC_TERMS_LINK = 1012,
  IDC_INSTALL_DIR = 1214,  // the inner edit field; the control window itself has id 0
  IDC_INSTALL_DIR_LABEL = 1215,
  IDC_BROWSE = 1216,
  IDC_OPTIONS_LABEL = 1217,
  IDC_DESKTOP_SHORTCUT = 1218,
  IDC_AUTORUN = 1219,
  IDC_STARTMENU_SHORTCUT = 1220,
  IDC_FEATURE1 = 1221,
  IDC_FEATURE2 = 1222,
  IDC_FEATURE3 = 1223,
  IDC_FEATURE4 = 1224,
  IDC_FEATURE1_CAPTION = 1225,
  IDC_FEATURE2_CAPTION = 1226,
  IDC_FEATURE3_CAPTION = 1227,
  IDC_FEATURE4_CAPTION = 1228,
  IDC_PROGRESS_TEXT = 1229,
  IDC_PROGRESS = 1230,
  IDC_DOWNLOAD_PERCENT = 1231,
  IDC_AGREE_LABEL = 1232,
  IDC_EXTRACT_PERCENT = 1232,  // shares 1232: a lookup by id finds the agree label, created first
  IDC_DESKTOP_LABEL = 1233,
  IDC_AUTORUN_LABEL = 1234,
  IDC_STARTMENU_LABEL = 1235,
  IDC_DOWNLOAD_SPEED = 1236,  // speed and time left, at the right of the download page's status line
};

enum PrivateMessage : unsigned {
  WM_EXTRACT_START = 10001,
  WM_NETWORK_FAILED = 10002,
  WM_DOWNLOAD_PROGRESS = 10010,
  WM_DOWNLOAD_STATUS = 10011,  // new byte counts wait in the window's WindowInstallEvents
  WM_OPTION_LABEL_CLICKED = 10050,
  WM_EXTRACT_FAILED = 11110,
  WM_EXTRACT_PROGRESS = 11111,
  WM_EXTRACT_FINISHED = 11112,
  WM_INSTALLER_QUIT = 11119,
  WM_INSTALL_STOPPED = 11120,  // the job ended without installing for a reason of its own (no room,
                               // unusable directory): the window reads the job's result
};

// Exit codes of the process with its window.
enum ExitCode : int {
  EXIT_WINDOW_FAILED = 0,
  EXIT_AFTER_INSTALL = 1005,  // the id of the install command that started the installation
  EXIT_CLOSED = 1009,         // the id of the close button
};

// Exit codes of a silent run (/S), one per outcome, for administrators' scripts. Documented in
// the README; never renumber them.
enum SilentExitCode : int {
  EXIT_INSTALLED = 0,
  EXIT_BAD_ARGUMENTS = 2,
  EXIT_DIRECTORY_UNUSABLE = 3,
  EXIT_ALREADY_RUNNING = 4,
  EXIT_DISK_FULL = 5,
  EXIT_DOWNLOAD_FAILED = 6,    // the engine's result code is in the log
  EXIT_PACKAGE_REJECTED = 7,   // checksum or signature
  EXIT_EXTRACT_FAILED = 8,
};
