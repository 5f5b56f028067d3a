#include "app/text/Translation.h"

#include "app/text/Messages.h"
#include "kiv/KivData.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>

#include <utility>

namespace app {

namespace {

kiv::TLangTable& Table() {
    static kiv::TLangTable table;
    return table;
}

TWalkObserver& Observer() {
    static TWalkObserver observer;
    return observer;
}

// The tooltip Qt derives from an action's text when none is set: the text
// without "..." and "&", trimmed.
QString DerivedToolTip(QString text) {
    text.remove(QStringLiteral("..."));
    text.remove(QLatin1Char('&'));
    return text.trimmed();
}

// Runs the visitor on one text and hands a changed result to `set`.
template <class Set>
void Visit(const TTextVisitor& visit, const QString& section, const QString& text, Set&& set) {
    if (text.isEmpty()) {
        return;
    }
    QString result = visit(section, text);
    if (result != text) {
        set(std::move(result));
    }
}

bool IsForm(const QObject* o) {
    return qobject_cast<const QDialog*>(o) != nullptr ||
           qobject_cast<const QMainWindow*>(o) != nullptr;
}

void VisitAction(QAction* a, const QString& s, const TTextVisitor& v) {
    if (a->isSeparator()) {
        return;
    }
    // An explicit hint is translated; a derived one follows the caption.
    const QString text = a->text();
    const QString tip = a->toolTip();
    if (tip != DerivedToolTip(text)) {
        Visit(v, s, tip, [a](const QString& t) { a->setToolTip(t); });
    }
    Visit(v, s, text, [a](const QString& t) { a->setText(t); });
}

// What a screen reader reads of a control, where the program names it.
void VisitAccessibleTexts(QWidget* w, const QString& s, const TTextVisitor& v) {
    Visit(v, s, w->accessibleName(), [w](const QString& t) { w->setAccessibleName(t); });
    Visit(v, s, w->accessibleDescription(),
          [w](const QString& t) { w->setAccessibleDescription(t); });
}

void VisitHeader(QTreeWidgetItem* header, const QString& s, const TTextVisitor& v) {
    for (int c = 0; header != nullptr && c < header->columnCount(); ++c) {
        Visit(v, s, header->text(c), [&](const QString& t) { header->setText(c, t); });
    }
}

void VisitObject(QObject* o, const QString& s, const TTextVisitor& v) {
    if (auto* a = qobject_cast<QAction*>(o)) {
        VisitAction(a, s, v);
        return;
    }
    if (auto* tray = dynamic_cast<TToolTipOwner*>(o)) {
        Visit(v, s, tray->toolTip(), [tray](const QString& t) { tray->setToolTip(t); });
        return;
    }
    auto* w = qobject_cast<QWidget*>(o);
    if (w == nullptr) {
        return;
    }
    // The scroll buttons of a tab bar are Qt's own, named by Qt's translations.
    if (qobject_cast<QTabBar*>(w->parentWidget()) == nullptr) {
        VisitAccessibleTexts(w, s, v);
    }
    if (auto* b = qobject_cast<QToolButton*>(w); b != nullptr && b->defaultAction() != nullptr) {
        return; // shows its action's texts
    }
    Visit(v, s, w->toolTip(), [w](const QString& t) { w->setToolTip(t); });
    if (auto* menu = qobject_cast<QMenu*>(w)) {
        Visit(v, s, menu->title(), [menu](const QString& t) { menu->setTitle(t); });
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        Visit(v, s, label->text(), [label](const QString& t) { label->setText(t); });
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        Visit(v, s, button->text(), [button](const QString& t) { button->setText(t); });
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        Visit(v, s, group->title(), [group](const QString& t) { group->setTitle(t); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        Visit(v, s, edit->placeholderText(),
              [edit](const QString& t) { edit->setPlaceholderText(t); });
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        const int selected = combo->currentIndex();
        for (int i = 0; i < combo->count(); ++i) {
            Visit(v, s, combo->itemText(i), [&](const QString& t) { combo->setItemText(i, t); });
        }
        combo->setCurrentIndex(selected);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
        for (int i = 0; i < tabs->count(); ++i) {
            Visit(v, s, tabs->tabText(i), [&](const QString& t) { tabs->setTabText(i, t); });
            Visit(v, s, tabs->tabToolTip(i), [&](const QString& t) { tabs->setTabToolTip(i, t); });
        }
    } else if (auto* bar = qobject_cast<QTabBar*>(w);
               bar != nullptr && qobject_cast<QTabWidget*>(bar->parent()) == nullptr) {
        for (int i = 0; i < bar->count(); ++i) {
            Visit(v, s, bar->tabText(i), [&](const QString& t) { bar->setTabText(i, t); });
        }
    } else if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
        VisitHeader(tree->headerItem(), s, v);
    } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
        for (int c = 0; c < table->columnCount(); ++c) {
            if (QTableWidgetItem* item = table->horizontalHeaderItem(c)) {
                Visit(v, s, item->text(), [item](const QString& t) { item->setText(t); });
            }
        }
    } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
        Visit(v, s, spin->prefix(), [spin](const QString& t) { spin->setPrefix(t); });
        Visit(v, s, spin->suffix(), [spin](const QString& t) { spin->setSuffix(t); });
    } else if (auto* dspin = qobject_cast<QDoubleSpinBox*>(w)) {
        Visit(v, s, dspin->prefix(), [dspin](const QString& t) { dspin->setPrefix(t); });
        Visit(v, s, dspin->suffix(), [dspin](const QString& t) { dspin->setSuffix(t); });
    }
    if (auto* any = qobject_cast<QAbstractSpinBox*>(w)) {
        Visit(v, s, any->specialValueText(),
              [any](const QString& t) { any->setSpecialValueText(t); });
    }
}

void WalkChildren(QObject* parent, const QString& s, const TTextVisitor& v) {
    // A copy: translating may add or remove children (a combo's views).
    const QObjectList children = parent->children();
    for (QObject* child : children) {
        if (IsForm(child)) {
            continue; // a window of its own translates itself
        }
        VisitObject(child, s, v);
        WalkChildren(child, s, v);
    }
}

} // namespace

const kiv::TLangTable& LangTable() {
    return Table();
}

void SetLangTable(kiv::TLangTable table) {
    Table() = std::move(table);
}

std::string LoadLanguage(const std::string& programDir, const QLocale& locale) {
    kiv::TLangTable table;
    std::string path = kiv::ProgramPath("lang.txt", programDir);
    if (!table.LoadFile(path)) {
        const QString language = QLocale::languageToCode(locale.language());
        path = kiv::ProgramPath("lang/" + language.toStdString() + "/lang.txt", programDir);
        if (language.isEmpty() || !table.LoadFile(path)) {
            path.clear();
        }
    }
    SetLangTable(std::move(table));
    return path;
}

QString Translate(const QString& section, const QString& text) {
    if (Table().Empty()) {
        return text;
    }
    return QString::fromStdString(Table().Translate(section.toStdString(), text.toStdString()));
}

QString TranslateMessage(const QString& text) {
    return Translate(QStringLiteral("STRING_TABLE"), text);
}

QString TranslatedTitle() {
    return Translate(QStringLiteral("Application"), ApplicationTitle);
}

QString SectionOf(const QObject* window) {
    const QString name = QString::fromLatin1(window->metaObject()->className());
    const qsizetype colons = name.lastIndexOf(QStringLiteral("::"));
    return colons < 0 ? name : name.mid(colons + 2);
}

void WalkTexts(QWidget* window, const TTextVisitor& visit) {
    const QString section = SectionOf(window);
    Visit(visit, section, window->windowTitle(),
          [window](const QString& t) { window->setWindowTitle(t); });
    Visit(visit, section, window->toolTip(), [window](const QString& t) { window->setToolTip(t); });
    VisitAccessibleTexts(window, section, visit);
    WalkChildren(window, section, visit);
}

void TranslateWindow(QWidget* window) {
    if (Table().Empty() && !Observer()) {
        return;
    }
    WalkTexts(window, [](const QString& section, const QString& text) {
        if (Observer()) {
            Observer()(section, text);
        }
        return Translate(section, text);
    });
}

TWalkObserver SetWalkObserver(TWalkObserver observer) {
    return std::exchange(Observer(), std::move(observer));
}

} // namespace app
