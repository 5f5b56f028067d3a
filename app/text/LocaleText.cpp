#include "app/text/LocaleText.h"

#include <QLocale>
#include <QString>

namespace app {

QCollator NameCollator() {
    QLocale locale;
    if (locale.language() == QLocale::C) {
        // The C locale has no alphabet of its own; its plain code-point order
        // would put "Åland Islands" after "Zimbabwe". Unicode's default order
        // (which English uses unchanged) keeps accented letters with their
        // base letters.
        locale = QLocale(QLocale::English);
    }
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

kiv::TTextCompare LocaleCompare() {
    return [collator = NameCollator()](std::string_view a, std::string_view b) {
        return collator.compare(QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size())),
                                QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())));
    };
}

} // namespace app
