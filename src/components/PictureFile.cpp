#include "components/PictureFile.h"

#include "system/ErrnoText.h"
#include "system/FileDescriptor.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ziffa {

namespace fs = std::filesystem;

namespace {

bool Fail(QString *reason, const QString &why) {
    if (reason)
        *reason = why;
    return false;
}

QString SystemMessage(int error) {
    return QString::fromStdString(ErrnoText(error));
}

// Why a picture couldn't be encoded as PNG (in memory, so hardly ever).
QString EncoderReason(QImageWriter::ImageWriterError error) {
    switch (error) {
    case QImageWriter::InvalidImageError:
        return QStringLiteral("pusty obraz");
    case QImageWriter::UnsupportedFormatError:
        return QStringLiteral("brak obsługi formatu PNG");
    case QImageWriter::DeviceError:
        return QStringLiteral("za mało pamięci na obraz PNG");
    case QImageWriter::UnknownError:
        break;
    }
    return QStringLiteral("nie można zakodować obrazu w formacie PNG");
}

// Writes every byte to a descriptor: a write that stops part way (a full disk) is a failure, not a
// whole write.
bool WriteAll(int fd, const QByteArray &bytes, QString *reason) {
    if (const std::error_code error =
            ziffa::WriteAll(fd, std::string_view(bytes.constData(), bytes.size())))
        return Fail(reason, SystemMessage(error.value()));
    return true;
}

// The name that finally names the file once symbolic links are followed (a link may name a file
// that doesn't exist yet); empty, with the reason in error, for a loop of links.
fs::path FinalName(const fs::path &name, int &error) {
    fs::path current = name;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::error_code failed;
        fs::path target = fs::read_symlink(current, failed);
        if (failed) {
            error = failed.value();
            return {};
        }
        current = target.is_absolute() ? std::move(target) : current.parent_path() / target;
    }
    error = ELOOP;
    return {};
}

// A stream that has no name in a folder to put a temporary file beside: written as it stands.
bool WriteDirectly(const QByteArray &png, const fs::path &name, QString *reason) {
    FileDescriptor fd = OpenFile(name, O_WRONLY | O_TRUNC);
    if (!fd.valid())
        return Fail(reason, SystemMessage(errno));
    if (!WriteAll(fd.get(), png, reason))
        return false;
    if (const std::error_code error = fd.Close())
        return Fail(reason, SystemMessage(error.value()));
    return true;
}

// A regular file: a temporary file beside it, written and flushed to disk, then renamed over it.
bool WriteWhole(const QByteArray &png, const fs::path &name, QString *reason) {
    int error = 0;
    const fs::path target = FinalName(name, error);
    if (error != 0)
        return Fail(reason, SystemMessage(error));
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    // A file the user may not write stays as it is, though the rename could replace it.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(reason, SystemMessage(errno));
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    // A unique name, with the target's own shortened so that it fits in a folder entry.
    std::string base(".");
    base.append(target.filename().native(), 0, 200).append(".");
    std::random_device random;
    fs::path temporary;
    FileDescriptor fd;
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "%08x%08x.tmp", random(), random());
        temporary = folder / (base + suffix);
        // 0666 lets the umask decide a new file's permissions, as for any file the user creates.
        fd = OpenFile(temporary, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (!fd.valid() && errno != EEXIST)
            return Fail(reason, SystemMessage(errno));
    }
    if (!fd.valid())
        return Fail(reason, SystemMessage(EEXIST));
    const auto abandon = [&](int failure) {
        fd.Close();
        ::unlink(temporary.c_str());
        if (failure != 0)
            Fail(reason, SystemMessage(failure));
        return false;
    };
    if (exists) {
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            // Only possible with the right privileges; otherwise the file gets our owner.
            [[maybe_unused]] const int ignored = ::fchown(fd.get(), old.st_uid, old.st_gid);
        }
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0)
            return abandon(errno);
    }
    if (!WriteAll(fd.get(), png, reason))
        return abandon(0);
    if (::fsync(fd.get()) != 0)
        return abandon(errno);
    if (const std::error_code closed = fd.Close())
        return abandon(closed.value());
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        return abandon(errno);
    return true;
}

} // namespace

bool WritePictureFile(const QImage &picture, const fs::path &fileName, QString *reason) {
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(picture))
            return Fail(reason, EncoderReason(writer.error()));
    }
    // The type of what stands in the name's place decides, links followed: a rename would put a
    // regular file in the place of a device where the folder allows it.
    struct stat st {};
    if (::stat(fileName.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return Fail(reason, SystemMessage(EISDIR));
        if (!S_ISREG(st.st_mode))
            return WriteDirectly(png, fileName, reason);
    }
    return WriteWhole(png, fileName, reason);
}

} // namespace ziffa
