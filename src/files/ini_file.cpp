// Reading an INI file from disk and replacing one safely.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>
#include <vector>

#include "files/ini.h"
#include "files/ini_text.h"

namespace keelsong {

namespace {

constexpr int kTemporaryNames = 1000;
constexpr int kMostRefusals = 100;

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    // Closes now, so that a failure to close can be reported; returns the errno or 0.
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

int OpenFile(const std::string& path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int CodeForErrno(int error) {
    switch (error) {
        case ENOMEM:
            return kIniOutOfMemory;
        case EACCES:
        case EPERM:
        case EROFS:
            return kIniAccessDenied;
        case ENOSPC:
        case EDQUOT:
            return kIniDiskFull;
        default:
            return kIniIoError;
    }
}

// An existing target must open for reading and writing; a missing one must be creatable.
bool TargetIsWritable(const std::string& path) {
    int fd = OpenFile(path, O_RDWR | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno != ENOENT) {
        return false;
    }
    fd = OpenFile(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    ::unlink(path.c_str());
    return true;
}

// Creates "ini$$<n>.CVI" beside the target for the first free n. Names that exist are passed
// over, and so are names refused for access, up to a point.
int CreateTemporary(const std::string& folder, std::string* name, int* fd) {
    int refusals = 0;
    for (int n = 0; n < kTemporaryNames; ++n) {
        std::string candidate = folder + "ini$$" + std::to_string(n) + ".CVI";
        *fd = OpenFile(candidate, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (*fd >= 0) {
            *name = std::move(candidate);
            return 0;
        }
        if (errno == EEXIST) {
            continue;
        }
        if (errno == EACCES && ++refusals <= kMostRefusals) {
            continue;
        }
        return kIniCannotCreateTemporary;
    }
    return kIniNoTemporaryName;
}

int WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// Makes the rename itself durable; a failure here cannot undo it, so it is not reported.
void SyncFolder(const std::string& folder) {
    const int fd = OpenFile(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Fills the temporary file and puts it in the target's place. The target is only ever
// replaced by rename(), which is atomic, so a failure at any step leaves the old file whole.
int ReplaceFile(const std::string& path, std::string_view text) {
    if (!TargetIsWritable(path)) {
        return kIniAccessDenied;
    }
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    std::string temporary;
    int raw_fd = -1;
    if (const int result = CreateTemporary(folder, &temporary, &raw_fd); result != 0) {
        return result;
    }
    FileDescriptor fd(raw_fd);
    auto fail = [&temporary, &fd](int code) {
        if (fd.get() >= 0) {
            fd.Close();
        }
        ::unlink(temporary.c_str());
        return code;
    };

    // The replacement keeps the permissions of the file it replaces.
    struct stat target_info {};
    if (::stat(path.c_str(), &target_info) == 0) {
        (void)::fchmod(fd.get(), target_info.st_mode & 07777);
    } else if (errno != ENOENT) {
        return fail(kIniNoFileInformation);
    }

    if (const int error = WriteAll(fd.get(), text); error != 0) {
        return fail(CodeForErrno(error));
    }
    if (::fsync(fd.get()) != 0) {
        return fail(CodeForErrno(errno));
    }
    if (const int error = fd.Close(); error != 0) {
        return fail(CodeForErrno(error));
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        return fail(CodeForErrno(errno));
    }
    SyncFolder(folder);
    return 0;
}

}  // namespace

int IniDocument::ReadFromFile(const std::string& path) {
    // Non-blocking only so that a FIFO without a writer cannot stall the program.
    const int raw_fd = OpenFile(path, O_RDONLY | O_NONBLOCK);
    if (raw_fd < 0) {
        return kIniCannotOpen;
    }
    FileDescriptor fd(raw_fd);
    try {
        ini_detail::TextReader reader(*this);
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                reader.Finish();  // what was read so far stays in the document
                return kIniReadError;
            }
            if (got == 0) {
                break;
            }
            reader.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        }
        reader.Finish();
        return 0;
    } catch (const std::bad_alloc&) {
        return kIniOutOfMemory;
    }
}

int IniDocument::WriteToFile(const std::string& path) const {
    try {
        return ReplaceFile(path, ToText());
    } catch (const std::bad_alloc&) {
        return kIniOutOfMemory;
    }
}

int IniDocument::WriteToFile(const std::string& path, const IniDocument& appended) const {
    try {
        return ReplaceFile(path, ToText() + appended.ToText());
    } catch (const std::bad_alloc&) {
        return kIniOutOfMemory;
    }
}

}  // namespace keelsong
