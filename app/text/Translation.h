// Interface-text translation of the windows: the process's translation table
// (read once at start-up from "lang.txt") and the walk over a window's
// components that replaces their texts.
#pragma once

#include "kiv/KivLang.h"

#include <QLocale>
#include <QString>

#include <functional>
#include <string>

class QObject;
class QWidget;

namespace app {

// The table every window translates from; empty until LoadLanguage runs.
const kiv::TLangTable& LangTable();
void SetLangTable(kiv::TLangTable table);

// Reads "lang.txt" from the program's directory; without one, the shipped
// translation for the locale's language ("lang/<language>/lang.txt" beside the
// program). Returns the file read, or an empty text when none was found.
std::string LoadLanguage(const std::string& programDir, const QLocale& locale);

// The translation of a text in a section; the text itself without one.
QString Translate(const QString& section, const QString& text);
// A message text, translated from the "STRING_TABLE" section.
QString TranslateMessage(const QString& text);
// The application title, translated from the "Application" section.
QString TranslatedTitle();

// An object that is no widget yet shows a tooltip to translate (the tray
// icon). The translation, and the clock tick that writes the tooltip, reach it
// through this.
class TToolTipOwner {
public:
    virtual ~TToolTipOwner() = default;
    virtual QString toolTip() const = 0;
    virtual void setToolTip(const QString& text) = 0;
};

// The section of a window: its class name without any namespace.
QString SectionOf(const QObject* window);

// Visits every translatable text of a window and the components it owns:
// captions, texts and hints of controls, the names and descriptions given to
// screen readers, captions and hints of menu items and actions, list column
// captions, combo-box items and tab captions. The visitor
// returns the text to put in its place. Dialogs and main windows among the
// children are left to translate themselves.
using TTextVisitor = std::function<QString(const QString& section, const QString& text)>;
void WalkTexts(QWidget* window, const TTextVisitor& visit);

// Translates a window from LangTable(): every window calls this once when it
// is created.
void TranslateWindow(QWidget* window);

// The test seam: while set, TranslateWindow also hands every text it visits to
// this function (with or without a table). Returns the previous observer.
using TWalkObserver = std::function<void(const QString& section, const QString& text)>;
TWalkObserver SetWalkObserver(TWalkObserver observer);

} // namespace app
