#pragma once

#include <QAbstractButton>
#include <QPixmap>

// The icon button: an icon at a fixed offset from the left edge, centred vertically, and the
// text centred in the room to its right. Drawn by hand: pushed (sunken frame, contents one
// pixel right and down), disabled (greyed icon and text), focus (dotted rectangle inset).
class CSXButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CSXButton(const QString& text, QWidget* parent = nullptr);

    // Each setter returns the previous value and lays the text out beside the icon.
    QPixmap SetIcon(const QPixmap& icon);
    int SetIconLeftOffset(int pixels);
    int SetTextGap(int pixels);
    void SetDisabledImage(const QPixmap& image) { m_disabledImage = image; }
    void SetDefaultBorder(bool on) { m_defaultBorder = on; }

    int IconLeftOffset() const { return m_iconLeft; }
    int TextGap() const { return m_gap; }
    // Where the last draw put the icon and the text (tests and screenshots check the layout).
    QRect IconRect() const;
    QRect TextRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_icon;
    QPixmap m_disabledImage;
    int m_iconLeft = 4;
    int m_gap = 4;
    bool m_besideText = false;
    bool m_defaultBorder = false;
};
