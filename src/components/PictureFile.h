#pragma once

#include <QString>

#include <filesystem>

class QImage;

namespace ziffa {

// Writes a picture as a PNG file. A regular file, or a name that doesn't exist yet, is written
// whole or not at all: into a temporary file beside it that replaces it only once complete, so
// that any failure leaves an existing file as it was (its permissions are kept; a symbolic link
// is written through). Anything else in the name's place, a device such as /dev/full or
// /dev/stdout or a FIFO, is written directly; a folder is refused. The name is taken as the file
// system's bytes, whatever they are (a name that is no UTF-8 names its own file). Returns whether
// the picture was written; on failure, reason (when given) says why, in Polish.
bool WritePictureFile(const QImage &picture, const std::filesystem::path &fileName,
                      QString *reason = nullptr);

} // namespace ziffa
