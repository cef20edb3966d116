#pragma once
// A one-line label that, when it is given less room than its text needs,
// shows the text shortened in the middle ("/dev/serial/by-id/usb-…-port0")
// instead of cutting it off or pushing its neighbours aside; the whole text is
// then its tool tip. text() is always the whole text.
#include <QLabel>

class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit TElidedLabel(const QString &Text, QWidget *Parent = nullptr);

    QSize minimumSizeHint() const override;
    // True when the text is shown whole at the present width.
    bool ShowsWholeText() const;

protected:
    void paintEvent(QPaintEvent *Event) override;
    void resizeEvent(QResizeEvent *Event) override;

private:
    void UpdateToolTip();
};
