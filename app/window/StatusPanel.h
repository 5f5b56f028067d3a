// One panel of the main window's status bar: a sunken label that never makes
// the bar wider than the window. Where it is too narrow for its text it shows
// the text shortened with "…", and the whole text becomes its tooltip; what it
// gives screen readers and what the window reads back stays the whole text.
#pragma once

#include <QLabel>

namespace app {

class TStatusPanel : public QLabel {
    Q_OBJECT
public:
    explicit TStatusPanel(QWidget* parent);

    // The width the panel takes while the bar has room (0: only its minimum,
    // for a panel that takes what the others leave).
    void SetPreferredWidth(int width);
    void SetText(const QString& text);
    // Whether the text is shown shortened.
    bool IsElided() const;
    // The text as it is painted.
    QString ShownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect TextRect() const;
    void UpdateTip();

    int Preferred = 0;
};

} // namespace app
