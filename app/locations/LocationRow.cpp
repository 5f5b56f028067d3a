#include "app/locations/LocationRow.h"

#include <QAccessible>
#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace app {

// ---------------------------------------------------------------- labels

TRowLabel::TRowLabel(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_Hover);
}

void TRowLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit Clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

void TRowLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    // No double clicks here: the second click is a click of its own, which
    // arrives with the release that follows.
    event->accept();
}

void TRowLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    emit Entered();
}

void TRowLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    emit Left();
}

// ---------------------------------------------------------------- row shape

TLocationRow::TLocationRow(QWidget* panel, int rowNumber, const QFont& font, int timeRight)
    : QWidget(panel), NameLabel(new TRowLabel(this)), TimeLabel(new TRowLabel(this)) {
    setObjectName(QStringLiteral("LocationRow%1").arg(rowNumber));
    NameLabel->setObjectName(QStringLiteral("NameLabel"));
    TimeLabel->setObjectName(QStringLiteral("TimeLabel"));
    NameLabel->setFont(font);
    TimeLabel->setFont(font);
    TimeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int width = panel->width();
    setGeometry(0, LocationRowPitch * rowNumber, width, LocationRowHeight);
    NameLabel->setGeometry(4, 0, std::max(0, width - 8), LocationRowHeight);
    // A window frame wider than 30 pixels must not push the time off the row.
    TimeRightGap = std::max(0, width - timeRight);
    PlaceTimeLabel();
}

void TLocationRow::SetColors(const QColor& fill, const QColor& outline) {
    if (fill == FFill && outline == FOutline) {
        return;
    }
    FFill = fill;
    FOutline = outline;
    update();
}

void TLocationRow::SetLabelLook(const QColor& text, bool underline) {
    if (text != FLabelColor) {
        FLabelColor = text;
        for (QLabel* label : {static_cast<QLabel*>(NameLabel), static_cast<QLabel*>(TimeLabel)}) {
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText, text);
            label->setPalette(p);
        }
    }
    if (underline != FUnderline) {
        FUnderline = underline;
        for (QLabel* label : {static_cast<QLabel*>(NameLabel), static_cast<QLabel*>(TimeLabel)}) {
            QFont f = label->font();
            f.setUnderline(underline);
            label->setFont(f);
        }
        PlaceTimeLabel();
    }
}

bool TLocationRow::SetTimeText(const QString& text, int textWidth) {
    if (TimeLabel->text() == text) {
        return false;
    }
    TimeTextWidth = textWidth >= 0 ? textWidth : TimeLabel->fontMetrics().horizontalAdvance(text);
    TimeLabel->setText(text);
    PlaceTimeLabel();
    return true;
}

void TLocationRow::MoveToRow(int index) {
    move(0, LocationRowPitch * index);
}

QString TLocationRow::SpokenText() const {
    return FSpokenText.isEmpty() ? NameLabel->text() + QStringLiteral(": ") + TimeLabel->text()
                                 : FSpokenText;
}

void TLocationRow::SetSpokenText(const QString& text) {
    if (text == FSpokenText) {
        return;
    }
    FSpokenText = text;
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void TLocationRow::SetSelected(bool selected) {
    if (selected == FSelected) {
        return;
    }
    FSelected = selected;
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void TLocationRow::SetTip(const QString& tip) {
    if (tip == toolTip()) {
        return;
    }
    setToolTip(tip);
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void TLocationRow::PlaceTimeLabel() {
    const int right = width() - TimeRightGap;
    const QRect wanted(right - TimeTextWidth, 0, TimeTextWidth, LocationRowHeight);
    if (TimeLabel->geometry() != wanted) {
        TimeLabel->setGeometry(wanted);
    }
}

void TLocationRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), FFill);
    painter.setPen(QPen(FOutline, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TLocationRow::resizeEvent(QResizeEvent*) {
    NameLabel->setGeometry(4, 0, std::max(0, width() - 8), LocationRowHeight);
    PlaceTimeLabel();
}

// ---------------------------------------------------------------- look

void StyleLocationRow(TLocationEntry& entry, int index) {
    if (entry.RowShape == nullptr) {
        return;
    }
    entry.RowShape->SetSelected(entry.Selected);
    const QPalette palette = QApplication::palette();
    const QColor stripe =
        index % 2 == 1 ? QColor(255, 255, 255) : palette.color(QPalette::ToolTipBase);
    QColor text;
    if (entry.Selected) {
        entry.RowShape->SetColors(palette.color(QPalette::Highlight), stripe);
        text = palette.color(QPalette::HighlightedText);
    } else {
        entry.RowShape->SetColors(stripe, stripe);
        // The platform's hot-tracking colour is the palette's link colour here.
        text = palette.color(entry.Hovered ? QPalette::Link : QPalette::WindowText);
    }
    entry.RowShape->SetLabelLook(text, entry.Hovered);
}

void StyleAllRows(std::vector<TLocationEntry>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        StyleLocationRow(entries[i], static_cast<int>(i));
    }
}

bool SamePlace(double latitude1, double longitude1, double latitude2, double longitude2) {
    return std::fabs(latitude1 - latitude2) < SamePlaceDegrees &&
           std::fabs(longitude1 - longitude2) < SamePlaceDegrees;
}

} // namespace app
