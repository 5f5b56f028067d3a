#include "app/window/StatusPanel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace app {

TStatusPanel::TStatusPanel(QWidget* parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void TStatusPanel::SetPreferredWidth(int width) {
    Preferred = width;
    updateGeometry();
}

void TStatusPanel::SetText(const QString& text) {
    setText(text);
    UpdateTip();
}

QRect TStatusPanel::TextRect() const {
    // A framed label indents its text by half an "x" on each side.
    const int indentation =
        indent() >= 0
            ? indent()
            : (frameWidth() > 0 ? fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 : 0);
    return contentsRect().adjusted(indentation, 0, -indentation, 0);
}

QString TStatusPanel::ShownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, TextRect().width()));
}

bool TStatusPanel::IsElided() const {
    return ShownText() != text();
}

QSize TStatusPanel::sizeHint() const {
    return {std::max(Preferred, minimumSizeHint().width()), QLabel::sizeHint().height()};
}

QSize TStatusPanel::minimumSizeHint() const {
    // Room for the frame, the indent and "…": never for the whole text.
    const int width = 2 * frameWidth() + fontMetrics().horizontalAdvance(QLatin1Char('x')) +
                      fontMetrics().horizontalAdvance(QChar(0x2026));
    return {width, QLabel::minimumSizeHint().height()};
}

void TStatusPanel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, TextRect(),
                          static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())),
                          palette(), isEnabled(), ShownText(), foregroundRole());
}

void TStatusPanel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    UpdateTip();
}

void TStatusPanel::UpdateTip() {
    const QString tip = IsElided() ? text() : QString();
    if (toolTip() != tip) {
        setToolTip(tip);
    }
}

} // namespace app
