// The process entry's work, callable from tests: runs the installer window until a quit request.
#pragma once

// Creates the message loop and the installer window, shows it with `showCommand`, runs the loop
// and returns the quit code; 0 when the window could not be created.
int RunInstaller(int showCommand);

// The whole process: COM and GDI+ start-up, the module, RunInstaller, tear-down in order.
int RunProcess(void* instance, int showCommand);
