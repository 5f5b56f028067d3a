#include "app/window/TrayIcon.h"

#include "platform/TrayHost.h"

#include <QAction>

namespace app {

TTrayIcon::TTrayIcon(const QIcon& icon, std::shared_ptr<platform::TTrayHost> host, QObject* parent)
    : QObject(parent), Icon(icon), Host(std::move(host)) {
    connect(Host.get(), &platform::TTrayHost::Appeared, this, [this] {
        if (Wanted && System == nullptr) {
            MakeSystemIcon();
            emit Appeared();
        }
    });
}

TTrayIcon::~TTrayIcon() = default;

void TTrayIcon::setContextMenu(QMenu* menu) {
    Menu = menu;
    if (System != nullptr) {
        System->setContextMenu(menu);
    }
}

void TTrayIcon::setToolTip(const QString& text) {
    ToolTip = text;
    if (System != nullptr) {
        System->setToolTip(text);
    }
}

void TTrayIcon::show() {
    Wanted = true;
    if (System != nullptr) {
        System->show();
    } else if (Host->Present()) {
        MakeSystemIcon();
    }
}

void TTrayIcon::hide() {
    Wanted = false;
    if (System != nullptr) {
        System->hide();
    }
}

bool TTrayIcon::isVisible() const {
    return System != nullptr && System->isVisible();
}

void TTrayIcon::SetWindowItems(const QList<QAction*>& items, QAction* listShown,
                               const QList<QAction*>& listItems) {
    WindowItems = items;
    ListShown = listShown;
    ListItems = listItems;
}

void TTrayIcon::DisableWindowItems() {
    for (QAction* a : WindowItems) {
        a->setEnabled(false);
    }
}

void TTrayIcon::EnableWindowItems() {
    for (QAction* a : WindowItems) {
        a->setEnabled(true);
    }
    if (!ListShown->isChecked()) {
        // Without the list these stay off, as switching the list off left them.
        for (QAction* a : ListItems) {
            a->setEnabled(false);
        }
    }
}

void TTrayIcon::MakeSystemIcon() {
    System = new QSystemTrayIcon(Icon, this);
    System->setObjectName(QStringLiteral("SystemTrayIcon"));
    System->setToolTip(ToolTip);
    System->setContextMenu(Menu);
    connect(System, &QSystemTrayIcon::activated, this, &TTrayIcon::activated);
    System->show();
}

} // namespace app
