// Child processes for the disc tools: started in their own process group, their
// output read line by line, stopped on request.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

/// The full name of `program` found in the folders of `searchPath` (separated by
/// ':'), or an empty text when there is no executable file of that name.
std::string FindProgram(const std::string& program, const std::string& searchPath);

/// What became of a child process.
struct TProcessResult {
    bool Started = false;   ///< false: StartError says why
    std::string StartError; ///< the system's reason when it could not be started
    bool Cancelled = false; ///< stopped because the cancel flag was set
    int ExitCode = -1;      ///< when it ended by itself
    int Signal = 0;         ///< the signal that ended it, 0 when none
};

/// How to run one child.
struct TCommand {
    std::string Program;           ///< full name (see FindProgram)
    std::vector<std::string> Args; ///< Args[0] is the name the child sees
    std::vector<std::string> Env;  ///< NAME=value set on top of this process's environment
    std::string Dir;               ///< working folder; empty: this process's
};

/// Runs a child to its end. Each line it writes goes to onOutput (standard output)
/// or onError (standard error), without the line end; a line longer than 64 KiB
/// arrives in pieces. While it runs, a set `cancel` flag stops it and its children:
/// SIGTERM, then SIGKILL after two seconds.
TProcessResult RunProcess(const TCommand& command,
                          const std::function<void(std::string_view)>& onOutput,
                          const std::function<void(std::string_view)>& onError,
                          const std::atomic<bool>* cancel);

} // namespace tarvex
