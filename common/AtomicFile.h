// Replacing a file so that it is always either the old or the new one, whole.
#pragma once

#include <stdexcept>
#include <string>

namespace tarvex {

/// A file that could not be written; the old file, if any, is left as it was.
class TFileError : public std::runtime_error {
  public:
    TFileError(std::string fileName, int error);
    const std::string FileName;
    const int Error; ///< the system's error number
};

/// Writes text to a temporary file beside fileName, syncs it and renames it over
/// fileName. Throws TFileError on failure, leaving fileName untouched and removing
/// the temporary file.
void WriteFileAtomically(const std::string& fileName, const std::string& text);

/// The steps of an atomic replace, for tests that make one fail or stop there.
enum class TWriteStep { OpenTemp, Write, Sync, Rename };
/// Called before each step; a non-zero return makes that step fail with that errno
/// value. Null (the default) injects nothing.
using TWriteHook = int (*)(TWriteStep step);
void SetWriteHook(TWriteHook hook);

} // namespace tarvex
