// Where nelk-host finds the parts of the kit it hands work to: the 32-bit Windows runner, the
// Windows nelk-host of each machine (which runs the validator's battery on a DLL), and the tap of
// each platform. In an install they are under its prefix (bin/nelk-win32-run,
// <triplet>/bin/nelk-host.exe, <triplet>/lib/nelk/nelk_tap.dll); environment variables point
// elsewhere, as a build tree needs:
//   NELK_WIN32_RUN          the 32-bit Windows runner
//   NELK_WINE64             what runs a 64-bit Windows program (default: wine64 on PATH, then
//                           /usr/lib/wine/wine64)
//   NELK_WINDOWS_HOST_X86   the x86 nelk-host.exe;  NELK_WINDOWS_HOST_X64  the x64 one
//   NELK_WINDOWS_TAP_X86    the x86 nelk_tap.dll;   NELK_WINDOWS_TAP_X64   the x64 one
// Plain functions; any thread.
#pragma once

#include <string>
#include <vector>

#include "image/pe_image.h"

namespace nelk_package {

// The command that runs a Windows program of `machine` here, the program and its arguments to
// follow; empty with `problem` saying why when nothing here can.
std::vector<std::string> windowsProgramRunner(nelk_image::pe_machine machine, std::string& problem);
// The kit's nelk-host.exe for `machine`; "" with `problem` set when the kit has none.
std::string windowsHost(nelk_image::pe_machine machine, std::string& problem);
// The kit's tap for a package's platform and architecture ("windows" "x86", "linux" "x86_64");
// "" with `problem` set when the kit has none.
std::string tapLibrary(const std::string& platform, const std::string& architecture, std::string& problem);

}  // namespace nelk_package
