// The program's tray icon. Its tooltip and menu are kept here, and the system's
// icon is made once the desktop has a tray to hold it, at the start or whenever
// one comes later: the toolkit settles on the kind of tray (StatusNotifierItem
// or X11) when its first icon is made, so that icon must not be made before.
// The names follow the toolkit's tray icon, which this stands in for.
#pragma once

#include "app/text/Translation.h"

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

#include <memory>

class QAction;

namespace platform {
class TTrayHost;
}

namespace app {

class TTrayIcon : public QObject, public TToolTipOwner {
    Q_OBJECT
public:
    TTrayIcon(const QIcon& icon, std::shared_ptr<platform::TTrayHost> host, QObject* parent);
    ~TTrayIcon() override;

    void setContextMenu(QMenu* menu);
    QMenu* contextMenu() const { return Menu; }
    void setToolTip(const QString& text) override;
    QString toolTip() const override { return ToolTip; }
    // Wanted in the tray (the whole run) or not (after the window closed).
    void show();
    void hide();
    // The icon stands in a tray now.
    bool isVisible() const;
    // The system's icon, once made.
    QSystemTrayIcon* SystemIcon() const { return System; }

    // The menu's items that act on the window and are off while it is in the
    // tray; of them, `listItems` stay off after it is back while `listShown`
    // (the location list) is unchecked.
    void SetWindowItems(const QList<QAction*>& items, QAction* listShown,
                        const QList<QAction*>& listItems);
    // The window went into the tray, or came back.
    void DisableWindowItems();
    void EnableWindowItems();

signals:
    void activated(QSystemTrayIcon::ActivationReason reason);
    // A tray came after the start and holds the icon now.
    void Appeared();

private:
    void MakeSystemIcon();
    QIcon Icon;
    QString ToolTip;
    QPointer<QMenu> Menu;
    std::shared_ptr<platform::TTrayHost> Host;
    QSystemTrayIcon* System = nullptr;
    bool Wanted = false;
    QList<QAction*> WindowItems;
    QAction* ListShown = nullptr;
    QList<QAction*> ListItems;
};

} // namespace app
