// Files read by offset, every read checked against the file's end.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace tarvex {

inline bool ValidPath(const std::string& name) {
    // A name with a NUL byte would reach the system cut short and so name another file.
    return !name.empty() && name.find('\0') == std::string::npos;
}

/// True for an existing file that can be read as a byte stream: folders, devices
/// and pipes are not source files (a pipe would block the reader for ever).
inline bool FileExists(const std::string& name) {
    if (!ValidPath(name)) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::path(name), ec);
}

/// A file read by offset; every read is checked against the file's end.
class TBinaryFile {
  public:
    bool Open(const std::string& name) {
        if (!FileExists(name)) return false;
        std::error_code ec;
        const auto size = std::filesystem::file_size(std::filesystem::path(name), ec);
        if (ec) return false;
        Size = size;
        In.open(name, std::ios::binary);
        return In.is_open();
    }

    std::uint64_t FileSize() const { return Size; }

    /// Reads up to `count` bytes at `offset`; returns how many were read.
    std::size_t ReadUpTo(std::uint64_t offset, void* buffer, std::size_t count) {
        if (offset >= Size) return 0;
        if (count > Size - offset) count = static_cast<std::size_t>(Size - offset);
        In.clear();
        In.seekg(static_cast<std::streamoff>(offset));
        if (!In) return 0;
        In.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
        return static_cast<std::size_t>(In.gcount());
    }

    /// Reads exactly `count` bytes at `offset`; false when the file ends before.
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
        return ReadUpTo(offset, buffer, count) == count;
    }

    bool ReadU16(std::uint64_t offset, std::uint16_t& value) {
        std::array<unsigned char, 2> b{};
        if (!ReadAt(offset, b.data(), b.size())) return false;
        value = static_cast<std::uint16_t>(b[0] | b[1] << 8);
        return true;
    }

    bool ReadU32(std::uint64_t offset, std::uint32_t& value) {
        std::array<unsigned char, 4> b{};
        if (!ReadAt(offset, b.data(), b.size())) return false;
        value = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
        return true;
    }

    bool ReadI32(std::uint64_t offset, std::int32_t& value) {
        std::uint32_t u = 0;
        if (!ReadU32(offset, u)) return false;
        value = static_cast<std::int32_t>(u);
        return true;
    }

    bool ReadTag(std::uint64_t offset, std::string& tag) {
        std::array<char, 4> b{};
        if (!ReadAt(offset, b.data(), b.size())) return false;
        tag.assign(b.data(), b.size());
        return true;
    }

  private:
    std::ifstream In;
    std::uint64_t Size = 0;
};

/// Reads `count` bytes at `offset` (fewer at the end of the file).
inline std::vector<unsigned char> ReadWindow(TBinaryFile& file, std::uint64_t offset,
                                             std::size_t count) {
    std::vector<unsigned char> bytes(count);
    bytes.resize(file.ReadUpTo(offset, bytes.data(), bytes.size()));
    return bytes;
}

} // namespace tarvex
