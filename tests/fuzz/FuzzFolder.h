// A working folder of the fuzzer's own: the harnesses write their input into files
// there and work inside it, so a file can name another one by a short relative name.
#pragma once

#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace tarvex::fuzz {

/// Where the fuzz folder goes: in memory when /dev/shm is there.
inline std::filesystem::path FuzzFolderBase() {
    std::error_code ec;
    return std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                         : std::filesystem::temp_directory_path();
}

/// Works in the fuzz folder for one input and returns to the old folder afterwards,
/// where libFuzzer reads its corpus by relative names. (Give -artifact_prefix an
/// absolute folder: a crash leaves the process inside the fuzz folder.)
class TInFolder {
  public:
    explicit TInFolder(const TTempFolder& folder) : Old(std::filesystem::current_path()) {
        std::filesystem::current_path(folder.Path);
    }
    ~TInFolder() { std::filesystem::current_path(Old); }
    TInFolder(const TInFolder&) = delete;
    TInFolder& operator=(const TInFolder&) = delete;

  private:
    std::filesystem::path Old;
};

/// Writes `bytes` into `name` (relative names land in the fuzz folder).
inline void WriteFile(const std::string& name, std::string_view bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) std::abort();
}

/// Splits `data` at the first `mark` into `head` and `tail`; without a mark the
/// whole input is the head, the tail is empty and the result false.
inline bool Split(std::string_view data, std::string_view mark, std::string_view& head,
                  std::string_view& tail) {
    const std::size_t at = data.find(mark);
    head = data.substr(0, at);
    tail = at == std::string_view::npos ? std::string_view() : data.substr(at + mark.size());
    return at != std::string_view::npos;
}

} // namespace tarvex::fuzz
