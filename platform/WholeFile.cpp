#include "platform/WholeFile.h"

#include <QSaveFile>

namespace platform {

std::optional<QString> WriteWholeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return file.errorString();
    }
    if (file.write(bytes) != bytes.size() || file.size() != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        file.commit();
        return why;
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

} // namespace platform
