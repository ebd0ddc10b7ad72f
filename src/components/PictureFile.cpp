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

namespace ziffa {

namespace {

bool Fail(QString *reason, const QString &why) {
    if (reason)
        *reason = why;
    return false;
}

// A stream that has no name in a folder to put a temporary file beside: written as it stands.
bool WriteDirectly(const QByteArray &png, const QString &fileName, QString *reason) {
    QFile file(fileName);
    // Unbuffered: a failed write shows at once instead of in a flush whose result is lost.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(reason, file.errorString());
    if (file.write(png) != png.size())
        return Fail(reason, file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        return Fail(reason, file.errorString());
    return true;
}

bool WriteWhole(const QByteArray &png, const QString &fileName, QString *reason) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return Fail(reason, file.errorString());
    if (file.write(png) != png.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return Fail(reason, why);
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
        return Fail(reason, QString::fromLocal8Bit(std::strerror(EISDIR)));
    if (target.exists() && !target.isFile())
        return WriteDirectly(png, fileName, reason);
    return WriteWhole(png, fileName, reason);
}

} // namespace ziffa
