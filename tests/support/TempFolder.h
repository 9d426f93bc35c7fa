// A folder of a test's own, removed with its contents afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace tarvex {

class TTempFolder {
  public:
    /// Makes a fresh folder below base, the system's temporary folder unless given.
    explicit TTempFolder(
        const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
        std::string pattern = (base / "tarvex-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a folder in " + base.string());
        Path = pattern;
    }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    /// The full name of `name` inside the folder.
    std::string operator/(const std::string& name) const { return (Path / name).string(); }

    /// Writes `bytes` into `name` inside the folder and returns its full name.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = *this / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + path);
        return path;
    }

    std::filesystem::path Path;
};

} // namespace tarvex
