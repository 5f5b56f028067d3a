#include "app/Messages.h"

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
    if (Answerer()) {
        return Answerer()(kind, text);
    }
    switch (kind) {
    case TMessageKind::Error:
        return QMessageBox::critical(parent, ApplicationTitle, text, buttons);
    case TMessageKind::Warning:
        return QMessageBox::warning(parent, ApplicationTitle, text, buttons);
    case TMessageKind::Question:
        return QMessageBox::question(parent, ApplicationTitle, text, buttons);
    case TMessageKind::Information:
        return QMessageBox::information(parent, ApplicationTitle, text, buttons);
    }
    return QMessageBox::NoButton;
}

} // namespace app
