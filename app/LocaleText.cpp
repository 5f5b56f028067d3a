#include "app/LocaleText.h"

#include <QCollator>
#include <QString>

namespace app {

kiv::TTextCompare LocaleCompare() {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return [collator](std::string_view a, std::string_view b) {
        return collator.compare(QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size())),
                                QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())));
    };
}

} // namespace app
