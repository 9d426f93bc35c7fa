// Shared modules loaded on first use, so that the programs start without the
// large libraries only some of their work needs.
#pragma once

#include <string>

namespace tarvex {

/// Loads the module file `fileName` and returns its function `symbol`. The file
/// is looked for beside the running program, then in the installed module folder
/// (lib/tarvex beside the program's bin), then at `builtPath` (where the build put
/// it; may be null), then by the system loader. Null when none of them loads,
/// with `failure` telling the user why. Modules stay loaded, and each lookup is
/// made once: later calls give the first call's answer.
void* LoadModuleSymbol(const char* fileName, const char* builtPath, const char* symbol,
                       std::string& failure);

} // namespace tarvex
