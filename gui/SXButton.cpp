#include "gui/SXButton.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

CSXButton::CSXButton(const QString& text, QWidget* parent) : QAbstractButton(parent)
{
    setText(text);
    setFocusPolicy(Qt::StrongFocus);
}

QPixmap CSXButton::SetIcon(const QPixmap& icon)
{
    QPixmap previous = m_icon;
    m_icon = icon;
    m_disabledImage = QPixmap();
    m_besideText = true;
    update();
    return previous;
}

int CSXButton::SetIconLeftOffset(int pixels)
{
    int previous = m_iconLeft;
    m_iconLeft = pixels;
    m_besideText = true;
    update();
    return previous;
}

int CSXButton::SetTextGap(int pixels)
{
    int previous = m_gap;
    m_gap = pixels;
    m_besideText = true;
    update();
    return previous;
}

QRect CSXButton::IconRect() const
{
    const QSize size = m_icon.deviceIndependentSize().toSize();
    const QRect all = rect();
    const int y = (all.height() - size.height()) / 2;
    if (text().isEmpty() || !m_besideText)
        return QRect((all.width() - size.width()) / 2, y, size.width(), size.height());
    return QRect(m_iconLeft, y, size.width(), size.height());
}

QRect CSXButton::TextRect() const
{
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(text());
    const int iconWidth = m_icon.deviceIndependentSize().toSize().width();
    const int used = m_iconLeft + iconWidth + m_gap;
    const int spare = std::max(0, (width() - used - textWidth) / 2);
    const int left = used + spare;
    const int top = (height() - metrics.height()) / 2 - 1;
    return QRect(left, top, textWidth, metrics.height());
}

QSize CSXButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const QSize icon = m_icon.deviceIndependentSize().toSize();
    return QSize(m_iconLeft + icon.width() + m_gap + metrics.horizontalAdvance(text()) + 24,
                 std::max(icon.height(), metrics.height()) + 12);
}

void CSXButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QRect frame = rect();
    const bool pushed = isDown() || isChecked();
    const bool disabled = !isEnabled();

    if (m_defaultBorder) {
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(frame.adjusted(0, 0, -1, -1));
        frame.adjust(1, 1, -1, -1);
    }

    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = frame;
    option.state |= pushed ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &p, this);

    const QPoint shift = pushed ? QPoint(1, 1) : QPoint(0, 0);
    if (!m_icon.isNull()) {
        QPixmap image = m_icon;
        if (disabled)
            image = !m_disabledImage.isNull() ? m_disabledImage
                                              : style()->generatedIconPixmap(QIcon::Disabled, m_icon, &option);
        p.drawPixmap(IconRect().topLeft() + shift, image);
    }
    if (!text().isEmpty()) {
        const QRect textRect = m_besideText && !m_icon.isNull() ? TextRect() : rect().adjusted(0, 0, 0, -2);
        style()->drawItemText(&p, textRect.translated(shift),
                              m_besideText && !m_icon.isNull() ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter,
                              palette(), !disabled, text(), QPalette::ButtonText);
    }

    if (hasFocus() && !disabled) {
        const int side = std::min(width(), height());
        const int inset = side > 15 ? 3 : side / 4;
        p.setPen(QPen(palette().color(QPalette::ButtonText), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(frame.adjusted(inset, inset, -inset - 1, -inset - 1));
    }
}
