#include "components/PictureFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace ziffa {

namespace {

bool Fail(QString *reason, const QString &why) {
    if (reason)
        *reason = why;
    return false;
}

QString SystemMessage(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes every byte to a descriptor. Qt's own write takes a write that stops part way (a full
// disk) for a whole one, so the bytes go through the system's calls here.
bool WriteAll(int fd, const QByteArray &bytes, QString *reason) {
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<std::size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(reason, SystemMessage(n < 0 ? errno : EIO));
        data += n;
        left -= n;
    }
    return true;
}

// A stream that has no name in a folder to put a temporary file beside: written as it stands.
bool WriteDirectly(const QByteArray &png, const QString &fileName, QString *reason) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(reason, file.errorString());
    return WriteAll(file.handle(), png, reason);
}

bool WriteWhole(const QByteArray &png, const QString &fileName, QString *reason) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(reason, file.errorString());
    if (!WriteAll(file.handle(), png, reason)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return Fail(reason, file.errorString());
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
            return Fail(reason, writer.errorString());
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
