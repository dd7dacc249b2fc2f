// Resource ids of Install.exe.
#pragma once

#define IDD_MAINDLG 129
#define IDR_MAINFRAME 128

// Skin images, resource type "PNG", language 2052.
#define IDB_SETUP_BAND 202
#define IDB_INSTALL_BUTTON 203
#define IDB_CHECK_BOX 204
#define IDB_CHECK_MARK 205
#define IDB_CLOSE_BUTTON 206
#define IDB_CUSTOM_BUTTON 207
#define IDB_BROWSE_BUTTON 217
#define IDB_PROGRESS_BAND 218
#define IDB_SMALL_CROSSES 220
#define IDB_FEATURE1 221
#define IDB_FEATURE2 222
#define IDB_FEATURE3 223
#define IDB_FEATURE4 224
#define IDB_DIR_FIELD 225
#define IDB_FINISH_BAND 226

// The same images drawn for 150 % and 200 % display scale have these offsets added to their ids.
#define IDB_SCALE_150 1000
#define IDB_SCALE_200 2000
