// Modal message boxes titled with the application title. Every box of the
// program goes through here, so tests can answer them without a blocking dialog.
#pragma once

#include <QMessageBox>
#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace app {

inline const QString ApplicationTitle = QStringLiteral("Chronara");

enum class TMessageKind { Error, Warning, Question, Information };

// Shows a box with the given buttons and returns the button pressed. The text
// and the title are translated (sections "STRING_TABLE" and "Application").
QMessageBox::StandardButton ShowMessage(QWidget* parent, TMessageKind kind, const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

inline void ShowError(QWidget* parent, const QString& text) {
    ShowMessage(parent, TMessageKind::Error, text);
}
inline void ShowWarning(QWidget* parent, const QString& text) {
    ShowMessage(parent, TMessageKind::Warning, text);
}
inline void ShowInformation(QWidget* parent, const QString& text) {
    ShowMessage(parent, TMessageKind::Information, text);
}
inline bool AskYesNo(QWidget* parent, TMessageKind kind, const QString& text) {
    return ShowMessage(parent, kind, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

// Runs a handler; an error it raises is shown over `parent` and the caller
// goes on (a window never dies from one).
template <class F> void Guarded(QWidget* parent, F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowError(parent, QString::fromUtf8(e.what()));
    }
}

// Reports without waiting for an answer, when nobody may be there to give one
// (the program ends on a quit signal): on standard error, where the session
// keeps it. The answerer below gets it too.
void ReportWithoutWaiting(TMessageKind kind, const QString& text);

// The test seam: while set, every box is answered by this function instead of
// being shown; it is given the translated text. Returns the previous answerer.
using TMessageAnswerer =
    std::function<QMessageBox::StandardButton(TMessageKind, const QString& text)>;
TMessageAnswerer SetMessageAnswerer(TMessageAnswerer answerer);

} // namespace app
