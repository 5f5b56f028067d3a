#include "app/text/Messages.h"

#include "app/text/Translation.h"

#include <cstdio>
#include <utility>

namespace app {

namespace {

TMessageAnswerer& Answerer() {
    static TMessageAnswerer answerer;
    return answerer;
}

} // namespace

TMessageAnswerer SetMessageAnswerer(TMessageAnswerer answerer) {
    return std::exchange(Answerer(), std::move(answerer));
}

QMessageBox::StandardButton ShowMessage(QWidget* parent, TMessageKind kind, const QString& text,
                                        QMessageBox::StandardButtons buttons) {
    // Message texts are translated from the table's "STRING_TABLE" section.
    const QString shown = TranslateMessage(text);
    if (Answerer()) {
        return Answerer()(kind, shown);
    }
    const QString title = TranslatedTitle();
    switch (kind) {
    case TMessageKind::Error:
        return QMessageBox::critical(parent, title, shown, buttons);
    case TMessageKind::Warning:
        return QMessageBox::warning(parent, title, shown, buttons);
    case TMessageKind::Question:
        return QMessageBox::question(parent, title, shown, buttons);
    case TMessageKind::Information:
        return QMessageBox::information(parent, title, shown, buttons);
    }
    return QMessageBox::NoButton;
}

void ReportWithoutWaiting(TMessageKind kind, const QString& text) {
    const QString shown = TranslateMessage(text);
    if (Answerer()) {
        Answerer()(kind, shown);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", TranslatedTitle().toLocal8Bit().constData(),
                 shown.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace app
