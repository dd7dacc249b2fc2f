// The process entry's work, callable from tests: the command line, the log, one installation at a
// time, and either the installer window or a silent installation.
#pragma once

#include "app/install_job.h"

// Creates the message loop and the installer window, shows it with `showCommand`, runs the loop
// and returns the quit code; 0 when the window could not be created. `start` gives the directory
// field's starting value and the options' starting states.
int RunInstaller(int showCommand, const InstallOptions& start = InstallOptions{});

// The whole process: reads the command line (app/command_line.h), opens the log, takes the
// one-installation-at-a-time lock, starts COM and GDI+, runs the window or the silent
// installation, tears down in order. Returns the process's exit code (app/ids.h).
int RunProcess(void* instance, int showCommand);

// The silent installation's exit code for an outcome.
int SilentExitCode(InstallOutcome outcome);
