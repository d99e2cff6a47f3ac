#pragma once
// The program's own entry point, as the platform calls it. The stand-in's process entry
// (ProcessEntry.cpp, linked only into executables) keeps main's command line, sets up what
// a real run needs and then calls it; its result is the process's exit code.

#include "os/kernel/Module.h"

namespace HA::OS {
using HINSTANCE = HMODULE;
}

// `instance` is the executable's module, `previous` always null, `commandLine` the
// arguments after the program name (UTF-8), `show` SW_SHOWDEFAULT.
int WinMain(HA::OS::HINSTANCE instance, HA::OS::HINSTANCE previous, char* commandLine, int show);
