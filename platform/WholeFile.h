#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// Replaces the file at `path` with `bytes` through a temporary file beside it,
// flushed and renamed over the old one, so that a crash at any moment leaves
// the old file or the new one. A short write (a full disk) is no error to
// QSaveFile, which would put the cut file in place: the bytes are counted and
// the temporary file dropped. Returns why the file could not be written, or
// nothing when it was.
std::optional<QString> WriteWholeFile(const QString& path, const QByteArray& bytes);

} // namespace platform
