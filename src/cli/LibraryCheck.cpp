#include "cli/LibraryCheck.h"

#include "system/ErrnoText.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <system_error>
#include <vector>

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ziffa {

namespace fs = std::filesystem;

namespace {

using Header = ElfW(Ehdr);
using ProgramHeader = ElfW(Phdr);
using SectionHeader = ElfW(Shdr);

constexpr unsigned char kNativeClass = sizeof(void *) == 8 ? ELFCLASS64 : ELFCLASS32;
constexpr unsigned char kNativeData =
    std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;

std::string Permissions(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// Why another user could have put a file into a folder or changed the file itself, given the
// folder's or the file's owner and mode; empty when no other user could.
std::string ForeignWriter(const struct stat &st, uid_t user, const std::string &folder) {
    const std::string subject = folder.empty() ? "plik" : "folder \"" + folder + "\"";
    if (st.st_uid != 0 && st.st_uid != user)
        return subject + " należy do innego użytkownika (UID " + std::to_string(st.st_uid) + ")";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return (folder.empty() ? "plik mogą zmieniać"
                               : "do folderu \"" + folder + "\" mogą pisać") +
               std::string(" inni użytkownicy (uprawnienia ") + Permissions(st.st_mode) + ")";
    return {};
}

// Reads exactly size bytes at offset; false at the end of the file or on an error (in errno).
bool ReadAt(int fd, void *buffer, std::size_t size, std::uint64_t offset) {
    auto *bytes = static_cast<char *>(buffer);
    while (size > 0) {
        const ReadOutcome read = ReadSomeAt(fd, bytes, size, offset);
        if (read.error || read.bytes == 0) {
            errno = read.error.value();
            return false;
        }
        bytes += read.bytes;
        size -= read.bytes;
        offset += read.bytes;
    }
    return true;
}

// How a file of this machine's ELF class falls short of what its headers say: the headers
// themselves, and the bytes of every segment and section, must lie within the file. Empty when
// the file holds them all.
class ElfExtent {
public:
    ElfExtent(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

    std::string Damage() {
        Header header{};
        if (size_ < sizeof header || !ReadAt(fd_, &header, sizeof header, 0) ||
            std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
            return "to nie jest plik ELF";
        if (header.e_ident[EI_CLASS] != kNativeClass || header.e_ident[EI_DATA] != kNativeData)
            return {}; // the loader refuses it in its own words
        std::vector<ProgramHeader> programs;
        if (header.e_phnum > 0 && header.e_phentsize != sizeof(ProgramHeader))
            return Bad();
        if (!Table(header.e_phoff, header.e_phnum, programs))
            return Why();
        for (const ProgramHeader &p : programs)
            if (!Reach(p.p_offset, p.p_filesz))
                return Why();
        if (header.e_shoff == 0)
            return {};
        if (header.e_shentsize != sizeof(SectionHeader))
            return Bad();
        // With very many sections the count is kept in the first section header.
        std::uint64_t count = header.e_shnum;
        std::vector<SectionHeader> sections;
        if (count == 0) {
            if (!Table(header.e_shoff, 1, sections))
                return Why();
            count = sections[0].sh_size;
        }
        if (!Table(header.e_shoff, count, sections))
            return Why();
        for (const SectionHeader &s : sections)
            if (s.sh_type != SHT_NOBITS && s.sh_type != SHT_NULL && !Reach(s.sh_offset, s.sh_size))
                return Why();
        return {};
    }

private:
    // Notes that the headers promise the bytes from offset on; false when they lie past the end.
    bool Reach(std::uint64_t offset, std::uint64_t length) {
        if (length == 0)
            return true;
        if (offset > std::numeric_limits<std::uint64_t>::max() - length) {
            overflow_ = true;
            return false;
        }
        reach_ = std::max(reach_, offset + length);
        return reach_ <= size_;
    }

    // Reads a table of count entries, once it is known to lie within the file.
    template <class Entry>
    bool Table(std::uint64_t offset, std::uint64_t count, std::vector<Entry> &entries) {
        if (count > std::numeric_limits<std::uint64_t>::max() / sizeof(Entry)) {
            overflow_ = true;
            return false;
        }
        if (!Reach(offset, count * sizeof(Entry)))
            return false;
        entries.resize(static_cast<std::size_t>(count));
        if (!ReadAt(fd_, entries.data(), entries.size() * sizeof(Entry), offset)) {
            readError_ = errno != 0 ? errno : EIO;
            return false;
        }
        return true;
    }

    static std::string Bad() { return "nieprawidłowe nagłówki ELF"; }
    std::string Why() const {
        if (readError_ != 0)
            return "nie można go odczytać: " + ErrnoText(readError_);
        if (overflow_ || reach_ <= size_)
            return Bad();
        return "ma " + std::to_string(size_) +
               " B, a według nagłówków ELF powinien mieć co najmniej " + std::to_string(reach_) +
               " B";
    }

    int fd_;
    std::uint64_t size_;
    std::uint64_t reach_ = 0;
    bool overflow_ = false;
    int readError_ = 0;
};

} // namespace

LibraryFile::LibraryFile(const fs::path &file, uid_t user) {
    Check(file, user);
}

void LibraryFile::Check(const fs::path &file, uid_t user) {
    const auto refuse = [this](std::string why) {
        state_ = State::Refused;
        reason_ = std::move(why);
    };
    // Not blocking: a FIFO in the library's place must not stall the start.
    fd_ = OpenFile(file, O_RDONLY | O_NONBLOCK);
    if (!fd_.valid()) {
        if (errno == ENOENT || errno == ENOTDIR)
            state_ = State::Missing;
        else
            refuse("nie można jej otworzyć: " + ErrnoText(errno));
        return;
    }
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0)
        return refuse("nie można jej otworzyć: " + ErrnoText(errno));
    if (!S_ISREG(st.st_mode))
        return refuse(S_ISDIR(st.st_mode) ? "w jej miejscu jest folder"
                                          : "to nie jest zwykły plik");

    // The folders of the file that was opened, wherever its name led.
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(fd_.get());
    std::error_code error;
    fs::path full = fs::read_symlink(byDescriptor, error);
    const bool throughProc = !error && full.is_absolute();
    if (!throughProc) {
        full = fs::canonical(file, error);
        struct stat named {};
        if (error || ::stat(full.c_str(), &named) != 0 || named.st_dev != st.st_dev ||
            named.st_ino != st.st_ino)
            return refuse("nie można ustalić jej pełnej ścieżki");
    }
    const std::string planted = "mógł ją podłożyć lub zmienić inny użytkownik, bo ";
    if (std::string why = ForeignWriter(st, user, {}); !why.empty())
        return refuse(planted + why);
    for (fs::path folder = full.parent_path();; folder = folder.parent_path()) {
        struct stat f {};
        const int checked = ::lstat(folder.c_str(), &f) != 0 ? errno
                            : S_ISDIR(f.st_mode)             ? 0
                                                             : ENOTDIR;
        if (checked != 0)
            return refuse("nie można sprawdzić folderu \"" + folder.native() +
                          "\": " + ErrnoText(checked));
        if (std::string why = ForeignWriter(f, user, folder.native()); !why.empty())
            return refuse(planted + why);
        if (folder == folder.parent_path())
            break;
    }

    if (std::string damage = ElfExtent(fd_.get(), static_cast<std::uint64_t>(st.st_size)).Damage();
        !damage.empty()) {
        state_ = State::Damaged;
        reason_ = "plik jest uszkodzony: " + damage;
        return;
    }
    state_ = State::Ready;
    loadName_ = throughProc ? byDescriptor : full.native();
}

} // namespace ziffa
