// Calls a function on every left double click on the widget it filters.
#pragma once

#include <QEvent>
#include <QMouseEvent>
#include <QObject>

#include <functional>
#include <utility>

namespace app {

class TDoubleClickFilter : public QObject {
public:
    TDoubleClickFilter(QObject* parent, std::function<void()> onDoubleClick)
        : QObject(parent), OnDoubleClick(std::move(onDoubleClick)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            OnDoubleClick();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> OnDoubleClick;
};

} // namespace app
