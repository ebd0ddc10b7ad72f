#include "settings/FileIo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <random>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ziffa {

namespace fs = std::filesystem;

FileError::FileError(const fs::path &file, const std::string &action, std::error_code code)
    : FileError(file, action, code.message()) {
    code_ = code;
}

FileError::FileError(const fs::path &file, const std::string &action, const std::string &reason)
    : std::runtime_error(action + " \"" + file.string() + "\": " + reason), path_(file) {}

namespace {

constexpr int kMaxLinkHops = 40;
constexpr int kTempNameAttempts = 100;

std::error_code LastError() {
    return {errno, std::generic_category()};
}

// Owns a file descriptor.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) noexcept : fd_(fd) {}
    FileDescriptor(FileDescriptor &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor &operator=(FileDescriptor &&other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }

    // Closes now and reports a failure, which some file systems only reveal at this point.
    std::error_code Close() noexcept {
        const int fd = std::exchange(fd_, -1);
        if (fd >= 0 && ::close(fd) != 0) {
            return LastError();
        }
        return {};
    }

private:
    int fd_;
};

FileDescriptor Open(const fs::path &file, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(file.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
    } while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

std::string NotRegularReason(mode_t mode) {
    return S_ISDIR(mode) ? "a folder stands in its place" : "it is not a regular file";
}

// Writes all bytes at the given offset; returns the error of the first failed write.
std::error_code WriteAllAt(int fd, std::string_view bytes, off_t offset) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastError();
        }
        if (n == 0) {
            return std::make_error_code(std::errc::io_error);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return {};
}

// Follows symbolic links to the path that finally names the file (which may not exist yet).
fs::path ResolveLinks(const fs::path &file) {
    fs::path current = file;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return current;
        }
        if (hops == kMaxLinkHops) {
            throw FileError(file, "Cannot write",
                            std::make_error_code(std::errc::too_many_symbolic_link_levels));
        }
        std::error_code error;
        fs::path target = fs::read_symlink(current, error);
        if (error) {
            throw FileError(file, "Cannot write", error);
        }
        current = target.is_absolute() ? std::move(target) : current.parent_path() / target;
    }
}

std::string RandomSuffix() {
    std::random_device random;
    const std::uint64_t bits = (std::uint64_t{random()} << 32) ^ random();
    std::array<char, 16> text{};
    const auto end = std::to_chars(text.data(), text.data() + text.size(), bits, 16).ptr;
    return std::string(text.data(), end);
}

// A newly created file with a unique name ".<base>.<random>.tmp" in a folder, removed again when
// this object goes unless Keep() was called.
class TempFile {
public:
    TempFile(const fs::path &folder, std::string_view base, mode_t mode) {
        for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
            std::string name(".");
            name.append(base).append(".").append(RandomSuffix()).append(".tmp");
            fs::path candidate = folder / name;
            fd_ = Open(candidate, O_WRONLY | O_CREAT | O_EXCL, mode);
            if (fd_.valid()) {
                path_ = std::move(candidate);
                return;
            }
            error_ = LastError();
            if (error_ != std::errc::file_exists) {
                return;
            }
        }
    }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
    ~TempFile() {
        fd_.Close();
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }

    bool valid() const noexcept { return !path_.empty(); }
    std::error_code error() const noexcept { return error_; }
    const fs::path &path() const noexcept { return path_; }
    FileDescriptor &fd() noexcept { return fd_; }
    void Keep() noexcept { path_.clear(); }

private:
    fs::path path_;
    FileDescriptor fd_;
    std::error_code error_;
};

fs::path FolderOf(const fs::path &file) {
    fs::path folder = file.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// Makes a completed rename durable; a failure here leaves a whole file either way, so it is
// not reported.
void SyncFolder(const fs::path &folder) {
    FileDescriptor fd = Open(folder, O_RDONLY | O_DIRECTORY);
    if (fd.valid()) {
        ::fsync(fd.get());
    }
}

void ReplaceThroughTempFile(const fs::path &target, TempFile &temp, const struct stat *old,
                            std::string_view contents) {
    const int fd = temp.fd().get();
    if (old != nullptr) {
        if (old->st_uid != ::geteuid() || old->st_gid != ::getegid()) {
            // Only possible with the right privileges; otherwise the file gets our owner.
            [[maybe_unused]] const int ignored = ::fchown(fd, old->st_uid, old->st_gid);
        }
        if (::fchmod(fd, old->st_mode & 07777) != 0) {
            throw FileError(target, "Cannot write", LastError());
        }
    }
    if (auto error = WriteAllAt(fd, contents, 0)) {
        throw FileError(target, "Cannot write", error);
    }
    if (::fsync(fd) != 0) {
        throw FileError(target, "Cannot write", LastError());
    }
    if (auto error = temp.fd().Close()) {
        throw FileError(target, "Cannot write", error);
    }
    if (::rename(temp.path().c_str(), target.c_str()) != 0) {
        throw FileError(target, "Cannot write", LastError());
    }
    temp.Keep();
    SyncFolder(FolderOf(target));
}

// The fallback where the folder takes no temporary file: writes the file itself. The space for
// the new contents is reserved first, so a full disk fails before any old byte is changed.
void WriteThroughDescriptor(const fs::path &target, FileDescriptor &fd, std::string_view contents) {
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        throw FileError(target, "Cannot write", LastError());
    }
    if (!S_ISREG(st.st_mode)) {
        throw FileError(target, "Cannot write", NotRegularReason(st.st_mode));
    }
    const auto size = static_cast<off_t>(contents.size());
    if (size > 0) {
        const int reserved = ::posix_fallocate(fd.get(), 0, size);
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
            throw FileError(target, "Cannot write",
                            std::error_code(reserved, std::generic_category()));
        }
    }
    if (auto error = WriteAllAt(fd.get(), contents, 0)) {
        throw FileError(target, "Cannot write", error);
    }
    if (::ftruncate(fd.get(), size) != 0 || ::fsync(fd.get()) != 0) {
        throw FileError(target, "Cannot write", LastError());
    }
    if (auto error = fd.Close()) {
        throw FileError(target, "Cannot write", error);
    }
}

void WriteDirectly(const fs::path &target, std::string_view contents, bool exists,
                   std::error_code whyNoTemp) {
    if (exists) {
        FileDescriptor fd = Open(target, O_WRONLY | O_NONBLOCK);
        if (!fd.valid()) {
            throw FileError(target, "Cannot write", whyNoTemp);
        }
        WriteThroughDescriptor(target, fd, contents);
        return;
    }
    FileDescriptor fd = Open(target, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (!fd.valid()) {
        throw FileError(target, "Cannot write", whyNoTemp);
    }
    try {
        WriteThroughDescriptor(target, fd, contents);
    } catch (...) {
        // The file is new: a part of it is worth nothing.
        ::unlink(target.c_str());
        throw;
    }
}

} // namespace

std::optional<std::string> ReadWholeFile(const fs::path &file, std::size_t maxSize) {
    // O_NONBLOCK: a FIFO in the file's place must not stall the open.
    FileDescriptor fd = Open(file, O_RDONLY | O_NONBLOCK);
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        throw FileError(file, "Cannot read", LastError());
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        throw FileError(file, "Cannot read", LastError());
    }
    if (!S_ISREG(st.st_mode)) {
        throw FileError(file, "Cannot read", NotRegularReason(st.st_mode));
    }
    const std::string tooLarge = "the file is larger than " + std::to_string(maxSize >> 20) + " MB";
    if (static_cast<std::uintmax_t>(st.st_size) > maxSize) {
        throw FileError(file, "Cannot read", tooLarge);
    }
    // One byte of room beyond the size, so the read that meets the end needs no reallocation.
    std::string text(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t got = 0;
    for (;;) {
        if (got == text.size()) {
            // The file grew while being read.
            if (got > maxSize) {
                throw FileError(file, "Cannot read", tooLarge);
            }
            text.resize(std::min(maxSize + 1, 2 * text.size()));
        }
        const ssize_t n = ::read(fd.get(), text.data() + got, text.size() - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw FileError(file, "Cannot read", LastError());
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (got > maxSize) {
        throw FileError(file, "Cannot read", tooLarge);
    }
    text.resize(got);
    return text;
}

void ReplaceFile(const fs::path &file, std::string_view contents) {
    const fs::path target = ResolveLinks(file);
    struct stat old {};
    bool exists = false;
    if (::stat(target.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) {
            throw FileError(target, "Cannot write", NotRegularReason(old.st_mode));
        }
        // A file the user may not write stays as it is, though the rename could replace it.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
            throw FileError(target, "Cannot write", LastError());
        }
        exists = true;
    } else if (errno != ENOENT) {
        throw FileError(target, "Cannot write", LastError());
    }

    // 0666 lets the umask decide a new file's permissions, as for any file the user creates.
    TempFile temp(FolderOf(target), target.filename().native(), 0666);
    if (temp.valid()) {
        ReplaceThroughTempFile(target, temp, exists ? &old : nullptr, contents);
    } else {
        WriteDirectly(target, contents, exists, temp.error());
    }
}

bool CanCreateFilesIn(const fs::path &folder) {
    const TempFile probe(folder.empty() ? fs::path(".") : folder, "write-probe", 0600);
    return probe.valid();
}

} // namespace ziffa
