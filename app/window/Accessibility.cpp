#include "app/window/Accessibility.h"

#include "app/locations/LocationRow.h"
#include "app/moment/ZoneTexts.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QStatusBar>
#include <QWidget>

namespace app {

namespace {

// A list row: a list item named by its spoken text, described by its tooltip,
// selectable, and pressed as a click on it.
class TRowAccessible : public QAccessibleWidget {
public:
    explicit TRowAccessible(TLocationRow* row) : QAccessibleWidget(row, QAccessible::ListItem) {}

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name:
            return Row()->SpokenText();
        case QAccessible::Description:
            return Row()->toolTip();
        default:
            return QAccessibleWidget::text(t);
        }
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = Row()->IsSelected();
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction()) {
            emit Row()->NameLabel->Clicked();
        }
    }

private:
    TLocationRow* Row() const { return static_cast<TLocationRow*>(widget()); }
};

// A status panel ("StatusPanel<n>"): its value read in words.
class TStatusPanelAccessible : public QAccessibleWidget {
public:
    explicit TStatusPanelAccessible(QLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name) {
            return QAccessibleWidget::text(t);
        }
        const auto* label = static_cast<const QLabel*>(widget());
        const QString name = label->objectName();
        bool ok = false;
        const int panel =
            name.startsWith(QLatin1String("StatusPanel")) ? name.mid(11).toInt(&ok) : -1;
        return ok ? SpokenStatusText(panel, label->text()) : label->text();
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("app::TLocationRow")) {
        return new TRowAccessible(static_cast<TLocationRow*>(widget));
    }
    if (className == QLatin1String("QLabel") &&
        qobject_cast<QStatusBar*>(widget->parentWidget()) != nullptr) {
        return new TStatusPanelAccessible(static_cast<QLabel*>(widget));
    }
    if (className == QLatin1String("QWidget") &&
        object->objectName() == QLatin1String("PanelLocations")) {
        return new QAccessibleWidget(widget, QAccessible::List,
                                     TranslateMessage(QString::fromUtf8(strings::LocationsName)));
    }
    return nullptr;
}

} // namespace

void InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

void NameWhileMinimized(QWidget* window) {
    window->setWindowIconText(window->windowTitle());
    QObject::connect(window, &QWidget::windowTitleChanged, window,
                     [window](const QString& title) { window->setWindowIconText(title); });
}

} // namespace app
