#include "AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex {

namespace {

std::atomic<TWriteHook> writeHook{nullptr};

int Hook(TWriteStep step) {
    const TWriteHook hook = writeHook.load();
    return hook ? hook(step) : 0;
}

std::string DirectoryOf(const std::string& fileName) {
    const std::size_t slash = fileName.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return fileName.substr(0, slash);
}

class TTempFile {
  public:
    explicit TTempFile(std::string name) : Name(std::move(name)) {}
    ~TTempFile() {
        if (Fd >= 0) ::close(Fd);
        if (!Done) ::unlink(Name.c_str());
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    int Fd = -1;
    bool Done = false;
    std::string Name;
};

} // namespace

TFileError::TFileError(std::string fileName, int error)
    : std::runtime_error("Cannot create file \"" + fileName + "\". " + std::strerror(error)),
      FileName(std::move(fileName)), Error(error) {}

void SetWriteHook(TWriteHook hook) {
    writeHook.store(hook);
}

void WriteFileAtomically(const std::string& fileName, const std::string& text) {
    TTempFile temp(fileName + ".tmp" + std::to_string(::getpid()));
    const auto fail = [&](int err) { throw TFileError(fileName, err); };

    if (int err = Hook(TWriteStep::OpenTemp)) fail(err);
    // A fresh file of our own: never one planted under the temporary name, nor a link.
    (void)::unlink(temp.Name.c_str());
    temp.Fd = ::open(temp.Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (temp.Fd < 0) {
        const int err = errno;
        temp.Done = true; // nothing of ours to remove
        fail(err);
    }
    struct stat old {};
    if (::stat(fileName.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        (void)::fchmod(temp.Fd, old.st_mode & 07777); // keep the user's permissions

    constexpr std::size_t Chunk = 64 * 1024;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (int err = Hook(TWriteStep::Write)) fail(err);
        const std::size_t n = std::min(Chunk, text.size() - pos);
        const ssize_t written = ::write(temp.Fd, text.data() + pos, n);
        if (written < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        if (written == 0) fail(EIO);
        pos += static_cast<std::size_t>(written);
    }

    if (int err = Hook(TWriteStep::Sync)) fail(err);
    if (::fsync(temp.Fd) != 0) fail(errno);
    const int fd = temp.Fd;
    temp.Fd = -1;
    if (::close(fd) != 0) fail(errno);

    if (int err = Hook(TWriteStep::Rename)) fail(err);
    if (::rename(temp.Name.c_str(), fileName.c_str()) != 0) fail(errno);
    temp.Done = true;

    // Make the rename itself durable; the new file is already complete, so a
    // failure here is not reported.
    const int dir = ::open(DirectoryOf(fileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

} // namespace tarvex
