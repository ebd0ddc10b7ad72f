#include "components/PictureFile.h"

#include "system/ErrnoText.h"
#include "system/FileDescriptor.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

#include <cerrno>
#include <string_view>

namespace ziffa {

namespace {

bool Fail(QString *reason, const QString &why) {
    if (reason)
        *reason = why;
    return false;
}

QString SystemMessage(int error) {
    return QString::fromStdString(ErrnoText(error));
}

// Why Qt failed to open or finish a file: the errno that the failed call left (taken at once by
// the caller), else the kind of failure that Qt reports. Qt's own words would be English.
QString FileReason(const QFileDevice &file, int error) {
    if (error != 0)
        return SystemMessage(error);
    switch (file.error()) {
    case QFileDevice::ReadError:
        return QStringLiteral("błąd odczytu");
    case QFileDevice::WriteError:
        return QStringLiteral("błąd zapisu");
    case QFileDevice::ResourceError:
        return QStringLiteral("zabrakło zasobów systemu");
    case QFileDevice::OpenError:
        return QStringLiteral("nie można otworzyć pliku");
    case QFileDevice::AbortError:
        return QStringLiteral("zapis przerwany");
    case QFileDevice::TimeOutError:
        return QStringLiteral("przekroczony czas oczekiwania");
    case QFileDevice::RemoveError:
        return QStringLiteral("nie można usunąć pliku");
    case QFileDevice::RenameError:
        return QStringLiteral("nie można zastąpić pliku nowym");
    case QFileDevice::PositionError:
        return QStringLiteral("nie można zmienić pozycji w pliku");
    case QFileDevice::ResizeError:
        return QStringLiteral("nie można zmienić rozmiaru pliku");
    case QFileDevice::PermissionsError:
        return QStringLiteral("nie można ustawić uprawnień pliku");
    case QFileDevice::CopyError:
        return QStringLiteral("nie można skopiować pliku");
    case QFileDevice::FatalError:
        return QStringLiteral("błąd krytyczny");
    case QFileDevice::NoError:
    case QFileDevice::UnspecifiedError:
        break;
    }
    return QStringLiteral("nieznany błąd");
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

// Writes every byte to a descriptor. Qt's own write takes a write that stops part way (a full
// disk) for a whole one, so the bytes go through the system's calls here.
bool WriteBytes(int fd, const QByteArray &bytes, QString *reason) {
    const std::string_view whole(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (const std::error_code error = WriteAll(fd, whole))
        return Fail(reason, QString::fromStdString(ErrorCodeText(error)));
    return true;
}

// A stream that has no name in a folder to put a temporary file beside: written as it stands.
bool WriteDirectly(const QByteArray &png, const QString &fileName, QString *reason) {
    QFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(reason, FileReason(file, errno));
    return WriteBytes(file.handle(), png, reason);
}

bool WriteWhole(const QByteArray &png, const QString &fileName, QString *reason) {
    QSaveFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(reason, FileReason(file, errno));
    if (!WriteBytes(file.handle(), png, reason)) {
        file.cancelWriting();
        return false;
    }
    errno = 0;
    if (!file.commit())
        return Fail(reason, FileReason(file, errno));
    return true;
}

} // namespace

bool WritePictureFile(const QImage &picture, const QString &fileName, QString *reason) {
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
    const QFileInfo target(fileName);
    if (target.isDir())
        return Fail(reason, SystemMessage(EISDIR));
    if (target.exists() && !target.isFile())
        return WriteDirectly(png, fileName, reason);
    return WriteWhole(png, fileName, reason);
}

} // namespace ziffa
