#include "system/SafeReplace.h"

#include "system/ErrnoText.h"
#include "system/FileDescriptor.h"
#include "system/FileLock.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <utility>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ziffa {

namespace fs = std::filesystem;

namespace {

// The messages name the file and the reason; the user sees them as they stand.
constexpr const char *kCannotWrite = "Nie można zapisać pliku";

constexpr int kMaxLinkHops = 40;
constexpr int kTempNameAttempts = 100;
// How long a save waits for another process's in-place save of the same file to finish.
constexpr auto kLockPatience = std::chrono::seconds(3);
// A journal holds the file's name besides its contents.
constexpr std::size_t kMaxJournalOverhead = 64 * 1024;
constexpr std::string_view kJournalMagic = "ziffa journal 1\n";

std::error_code LastError() {
    return {errno, std::generic_category()};
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
            throw FileError(file, kCannotWrite,
                            std::make_error_code(std::errc::too_many_symbolic_link_levels));
        }
        std::error_code error;
        fs::path target = fs::read_symlink(current, error);
        if (error) {
            throw FileError(file, kCannotWrite, error);
        }
        current = target.is_absolute() ? std::move(target) : current.parent_path() / target;
    }
}

fs::path FolderOf(const fs::path &file) {
    fs::path folder = file.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// Makes a completed rename or removal durable; a failure here leaves a whole file either way, so
// it is not reported.
void SyncFolder(const fs::path &folder) {
    FileDescriptor fd = OpenFile(folder, O_RDONLY | O_DIRECTORY);
    if (fd.valid()) {
        ::fsync(fd.get());
    }
}

// ---- Saves in progress. The advisory lock (FileLock) dies with the process that holds it, which
// makes it the sure sign of a save in progress.

bool ProcessLives(pid_t pid) {
    return pid <= 0 || ::kill(pid, 0) == 0 || errno == EPERM;
}

// ---- Temporary files: ".<base>.<pid>.<random>.tmp", locked by their writer from the moment they
// exist. The writer's process id and its lock tell a running save's file from a killed one's.

std::string RandomSuffix() {
    std::random_device random;
    const std::uint64_t bits = (std::uint64_t{random()} << 32) ^ random();
    std::array<char, 16> text{};
    const auto end = std::to_chars(text.data(), text.data() + text.size(), bits, 16).ptr;
    return std::string(text.data(), end);
}

template <class Number> std::optional<Number> WholeNumber(std::string_view text, int base = 10) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The process that made a temporary file of the base, or nothing for any other name.
std::optional<pid_t> WriterOfTemporary(std::string_view name, std::string_view base) {
    constexpr std::string_view suffix = ".tmp";
    if (name.size() < base.size() + 2 + suffix.size() || name[0] != '.' ||
        name.substr(1, base.size()) != base || name[base.size() + 1] != '.' ||
        !name.ends_with(suffix)) {
        return std::nullopt;
    }
    name.remove_prefix(base.size() + 2);
    name.remove_suffix(suffix.size());
    const std::size_t dot = name.find('.');
    if (dot == std::string_view::npos || !WholeNumber<std::uint64_t>(name.substr(dot + 1), 16) ||
        name.substr(0, dot).find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    return WholeNumber<pid_t>(name.substr(0, dot));
}

// A newly created, locked file with a unique temporary name in a folder, removed again when this
// object goes unless Keep() was called.
class TempFile {
public:
    TempFile(const fs::path &folder, std::string_view base, mode_t mode) {
        const std::string pid = std::to_string(::getpid());
        for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
            std::string name(".");
            name.append(base).append(".").append(pid).append(".").append(RandomSuffix());
            name.append(".tmp");
            fs::path candidate = folder / name;
            fd_ = OpenFile(candidate, O_WRONLY | O_CREAT | O_EXCL, mode);
            if (fd_.valid()) {
                TryLockFile(fd_.get(), LockKind::Exclusive);
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
        // Removed before the lock goes with the descriptor, so no one takes it for a leftover.
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
        fd_.Close();
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

// Removes the temporary files of the base that killed saves left in a folder: those whose writer
// is gone and whose lock is free. A file that can't be judged stays.
void RemoveLeftovers(const fs::path &folder, std::string_view base) noexcept {
    try {
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            const fs::path &path = it->path();
            const std::optional<pid_t> writer = WriterOfTemporary(path.filename().native(), base);
            if (!writer || *writer == ::getpid() || ProcessLives(*writer)) {
                continue;
            }
            FileDescriptor fd = OpenFile(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
            struct stat opened {};
            struct stat named {};
            if (!fd.valid() || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
                TryLockFile(fd.get(), LockKind::Exclusive) == FileLock::Busy ||
                ::lstat(path.c_str(), &named) != 0 || named.st_dev != opened.st_dev ||
                named.st_ino != opened.st_ino) {
                continue;
            }
            ::unlink(path.c_str());
        }
    } catch (...) {
        // Tidying up is never worth a failed save.
    }
}

// ---- Writing a file in place.

// Writes the file's new contents over its old ones through a descriptor just opened for writing
// (so at the file's start). The space for the new contents is reserved first, so a full disk
// fails before any old byte is changed (throwing ReserveFailed); a failure past that point may
// leave the file partly written.
struct ReserveFailed : FileError {
    using FileError::FileError;
};

void OverwriteContents(const fs::path &target, int fd, std::string_view contents) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        throw ReserveFailed(target, kCannotWrite, LastError());
    }
    const auto size = static_cast<off_t>(contents.size());
    if (size > 0) {
        const int reserved = ::posix_fallocate(fd, 0, size);
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
            // A failed reservation may have grown the file; the old bytes are all still there.
            [[maybe_unused]] const int ignored = ::ftruncate(fd, st.st_size);
            throw ReserveFailed(target, kCannotWrite,
                                std::error_code(reserved, std::generic_category()));
        }
    }
    if (auto error = WriteAll(fd, contents)) {
        throw FileError(target, kCannotWrite, error);
    }
    if (::ftruncate(fd, size) != 0 || ::fsync(fd) != 0) {
        throw FileError(target, kCannotWrite, LastError());
    }
}

// ---- Journals.

std::uint64_t Fnv1a(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

// The file's full path with its links resolved, as far as it exists.
std::string FullPathOf(const fs::path &file) {
    std::error_code error;
    fs::path full = fs::weakly_canonical(fs::absolute(file, error), error);
    if (error) {
        full = fs::absolute(file, error).lexically_normal();
    }
    return full.native();
}

std::string JournalName(const std::string &fullPath) {
    std::array<char, 16> hex{};
    const auto end = std::to_chars(hex.data(), hex.data() + hex.size(), Fnv1a(fullPath), 16).ptr;
    return "save-" + std::string(hex.data(), end) + ".journal";
}

// "ziffa journal 1", the file's full path and the new contents, each long text led by its length.
std::string JournalText(const std::string &fullPath, std::string_view contents) {
    std::string text(kJournalMagic);
    text.reserve(contents.size() + fullPath.size() + 64);
    text.append(std::to_string(fullPath.size())).append("\n").append(fullPath).append("\n");
    text.append(std::to_string(contents.size())).append("\n").append(contents);
    return text;
}

struct JournalEntry {
    std::string_view fullPath;
    std::string_view contents;
};

// Reads a length-led text: "<length>\n<bytes>".
std::optional<std::string_view> TakeLengthLed(std::string_view &text) {
    const std::size_t newline = text.find('\n');
    if (newline == std::string_view::npos || newline > 20) {
        return std::nullopt;
    }
    const auto length = WholeNumber<std::size_t>(text.substr(0, newline));
    if (!length || *length > text.size() - newline - 1) {
        return std::nullopt;
    }
    const std::string_view taken = text.substr(newline + 1, *length);
    text.remove_prefix(newline + 1 + *length);
    return taken;
}

std::optional<JournalEntry> ParseJournal(std::string_view text) {
    if (!text.starts_with(kJournalMagic)) {
        return std::nullopt;
    }
    text.remove_prefix(kJournalMagic.size());
    const auto fullPath = TakeLengthLed(text);
    if (!fullPath || text.empty() || text.front() != '\n') {
        return std::nullopt;
    }
    text.remove_prefix(1);
    const auto contents = TakeLengthLed(text);
    if (!contents || !text.empty()) {
        return std::nullopt;
    }
    return JournalEntry{*fullPath, *contents};
}

void CreateJournalFolder(const fs::path &folder, const fs::path &target) {
    std::error_code error;
    if (fs::create_directories(folder, error)) {
        // The folder holds copies of the user's settings: for the user's eyes only.
        fs::permissions(folder, fs::perms::owner_all, error);
        error.clear();
    }
    if (error) {
        throw FileError(target, kCannotWrite,
                        "nie można utworzyć folderu na kopię nowej treści \"" + folder.string() +
                            "\": " + ErrorCodeText(error));
    }
}

// Writes the journal whole (through a temporary file and a rename) and makes it durable.
void WriteJournal(const fs::path &journal, const std::string &fullPath, std::string_view contents,
                  const fs::path &target) {
    const fs::path folder = FolderOf(journal);
    CreateJournalFolder(folder, target);
    RemoveLeftovers(folder, journal.filename().native());
    TempFile temp(folder, journal.filename().native(), 0600);
    const auto fail = [&](std::error_code error) {
        throw FileError(target, kCannotWrite,
                        "nie można zapisać kopii nowej treści \"" + journal.string() +
                            "\": " + ErrorCodeText(error));
    };
    if (!temp.valid()) {
        fail(temp.error());
    }
    if (auto error = WriteAll(temp.fd().get(), JournalText(fullPath, contents))) {
        fail(error);
    }
    if (::fsync(temp.fd().get()) != 0) {
        fail(LastError());
    }
    if (auto error = temp.fd().Close()) {
        fail(error);
    }
    if (::rename(temp.path().c_str(), journal.c_str()) != 0) {
        fail(LastError());
    }
    temp.Keep();
    SyncFolder(folder);
}

void RemoveJournal(const fs::path &journal) {
    ::unlink(journal.c_str());
    SyncFolder(FolderOf(journal));
}

// ---- The two ways of replacing a file.

void ReplaceThroughTempFile(const fs::path &target, TempFile &temp, const struct stat *old,
                            std::string_view contents) {
    const int fd = temp.fd().get();
    if (old != nullptr) {
        if (old->st_uid != ::geteuid() || old->st_gid != ::getegid()) {
            // Only possible with the right privileges; otherwise the file gets our owner.
            [[maybe_unused]] const int ignored = ::fchown(fd, old->st_uid, old->st_gid);
        }
        if (::fchmod(fd, old->st_mode & 07777) != 0) {
            throw FileError(target, kCannotWrite, LastError());
        }
    }
    if (auto error = WriteAll(fd, contents)) {
        throw FileError(target, kCannotWrite, error);
    }
    if (::fsync(fd) != 0) {
        throw FileError(target, kCannotWrite, LastError());
    }
    if (auto error = temp.fd().Close()) {
        throw FileError(target, kCannotWrite, error);
    }
    if (::rename(temp.path().c_str(), target.c_str()) != 0) {
        throw FileError(target, kCannotWrite, LastError());
    }
    temp.Keep();
    SyncFolder(FolderOf(target));
}

// The fallback where the folder takes no temporary file: the journal first, then the file itself,
// under the file's lock.
void WriteInPlace(const fs::path &target, std::string_view contents, bool exists,
                  std::error_code whyNoTemp, const fs::path &journalFolder) {
    if (journalFolder.empty()) {
        throw FileError(target, kCannotWrite,
                        ErrorCodeText(whyNoTemp) +
                            ", a bez folderu na kopię nowej treści "
                            "(XDG_STATE_HOME, HOME) nie da się go bezpiecznie "
                            "zapisać w miejscu");
    }
    FileDescriptor fd = exists ? OpenFile(target, O_WRONLY | O_NONBLOCK)
                               : OpenFile(target, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (!fd.valid()) {
        throw FileError(target, kCannotWrite, whyNoTemp);
    }
    const fs::path journal = JournalFileOf(target, journalFolder);
    bool journalWritten = false;
    try {
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) {
            throw FileError(target, kCannotWrite, LastError());
        }
        if (!S_ISREG(st.st_mode)) {
            throw FileError(target, kCannotWrite, NotRegularReason(st.st_mode));
        }
        if (LockFileWithin(fd.get(), LockKind::Exclusive, kLockPatience) == FileLock::Busy) {
            throw FileError(target, kCannotWrite, "zapisuje go właśnie inny program");
        }
        WriteJournal(journal, FullPathOf(target), contents, target);
        journalWritten = true;
        OverwriteContents(target, fd.get(), contents);
    } catch (const ReserveFailed &) {
        if (journalWritten) {
            RemoveJournal(journal);
        }
        if (!exists) {
            ::unlink(target.c_str());
        }
        throw;
    } catch (...) {
        // A new file is worth nothing in part. An old one written part way is finished from the
        // journal by the next RecoverInterruptedReplace.
        if (!exists) {
            if (journalWritten) {
                RemoveJournal(journal);
            }
            ::unlink(target.c_str());
        }
        throw;
    }
    // The journal goes while the lock is held, so it can't be another save's.
    RemoveJournal(journal);
    if (auto error = fd.Close()) {
        throw FileError(target, kCannotWrite, error);
    }
}

} // namespace

fs::path JournalFileOf(const fs::path &file, const fs::path &journalFolder) {
    return journalFolder / JournalName(FullPathOf(file));
}

void ReplaceFile(const fs::path &file, std::string_view contents, const fs::path &journalFolder) {
    const fs::path target = ResolveLinks(file);
    RemoveLeftovers(FolderOf(target), target.filename().native());
    struct stat old {};
    bool exists = false;
    if (::stat(target.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) {
            throw FileError(target, kCannotWrite, NotRegularReason(old.st_mode));
        }
        // A file the user may not write stays as it is, though the rename could replace it.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
            throw FileError(target, kCannotWrite, LastError());
        }
        exists = true;
    } else if (errno != ENOENT) {
        throw FileError(target, kCannotWrite, LastError());
    }

    // 0666 lets the umask decide a new file's permissions, as for any file the user creates.
    TempFile temp(FolderOf(target), target.filename().native(), 0666);
    if (temp.valid()) {
        ReplaceThroughTempFile(target, temp, exists ? &old : nullptr, contents);
    } else {
        WriteInPlace(target, contents, exists, temp.error(), journalFolder);
    }
}

void RecoverInterruptedReplace(const fs::path &file, const fs::path &journalFolder) {
    fs::path target;
    try {
        target = ResolveLinks(file);
    } catch (const FileError &) {
        return; // a loop of links: reading the file reports it
    }
    RemoveLeftovers(FolderOf(target), target.filename().native());
    if (journalFolder.empty()) {
        return;
    }
    const fs::path journal = JournalFileOf(target, journalFolder);
    RemoveLeftovers(journalFolder, journal.filename().native());
    struct stat st {};
    if (::lstat(journal.c_str(), &st) != 0) {
        return;
    }
    const auto fail = [&](const std::string &reason) {
        throw FileError(target, "Nie można dokończyć przerwanego zapisu pliku",
                        reason + " (kopia nowej treści: \"" + journal.string() + "\")");
    };
    bool created = false;
    FileDescriptor fd = OpenFile(target, O_WRONLY | O_NONBLOCK);
    if (!fd.valid() && errno == ENOENT) {
        fd = OpenFile(target, O_WRONLY | O_CREAT | O_EXCL, 0666);
        created = fd.valid();
    }
    if (!fd.valid()) {
        fail(ErrnoText(errno));
    }
    const auto forget = [&] {
        if (created) {
            ::unlink(target.c_str());
        }
    };
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        forget();
        fail("to nie jest zwykły plik");
    }
    if (LockFileWithin(fd.get(), LockKind::Exclusive, kLockPatience) == FileLock::Busy) {
        forget();
        return; // a running save, which finishes itself
    }
    // Read under the lock: another start may have finished the save meanwhile.
    std::optional<std::string> text;
    try {
        text = ReadWholeFile(journal, kMaxReadFileSize + kMaxJournalOverhead);
    } catch (const FileError &error) {
        forget();
        fail(error.what());
    }
    if (!text) {
        forget();
        return;
    }
    const std::optional<JournalEntry> entry = ParseJournal(*text);
    if (!entry) {
        // Damaged, so it can't be the whole copy that a journal is written as.
        forget();
        RemoveJournal(journal);
        return;
    }
    if (entry->fullPath != FullPathOf(target)) {
        forget();
        return; // another file's journal under the same name
    }
    try {
        OverwriteContents(target, fd.get(), entry->contents);
    } catch (const FileError &error) {
        fail(error.what());
    }
    RemoveJournal(journal);
}

bool CanCreateFilesIn(const fs::path &folder) {
    const TempFile probe(folder.empty() ? fs::path(".") : folder, "write-probe", 0600);
    return probe.valid();
}

} // namespace ziffa
