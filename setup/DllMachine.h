// Which processor a DLL is built for, and which one the system runs natively:
// the Shell loads only a handler built for its own machine.
#pragma once

#include <windows.h>

#include <string>

namespace vantrel::setup {

// Reads the machine field of the PE header of the DLL at path. On failure
// (missing, unreadable, not a PE file, not a DLL) returns false and says what
// is wrong, naming the file, in problem.
bool readDllMachine(const std::wstring& path, WORD& machine, std::wstring& problem);

// The system's native machine (IsWow64Process2); x64 where that function
// does not exist, since such systems predate Windows on ARM64.
WORD nativeMachine();

// "x64", "ARM64", ... or "machine type 0xNNNN".
std::wstring machineName(WORD machine);

}  // namespace vantrel::setup
