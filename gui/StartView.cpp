#include "gui/StartView.h"

#include "files/ProductLine.h"
#include "gui/Artwork.h"

#include <QApplication>
#include <QPainter>
#include <QTimer>

CTessarinView::CTessarinView(int productLine, std::function<void()> switchView, QWidget* parent)
    : QWidget(parent), m_switchView(std::move(switchView))
{
    setObjectName("StartView");
    const int row = productLine >= 0 && productLine < kProductLineCount ? productLine : kUnmatchedProductLine;
    const ProductLineRow& line = ProductLineTable[row];
    m_picture = Artwork::ProductPicture(line.bitmap, line.bitmapWidth, line.bitmapHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool& CTessarinView::SwitchedThisRun()
{
    static bool switched = false;
    return switched;
}

int& CTessarinView::TickMilliseconds()
{
    static int milliseconds = 250;
    return milliseconds;
}

int& CTessarinView::WaitMilliseconds()
{
    static int milliseconds = 700;
    return milliseconds;
}

void CTessarinView::OnInitialUpdate()
{
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CTessarinView::OnTimer);
    timer->start(TickMilliseconds());
}

void CTessarinView::OnTimer()
{
    if (SwitchedThisRun())
        return;
    SwitchedThisRun() = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTimer::singleShot(WaitMilliseconds(), this, [this] {
        QApplication::restoreOverrideCursor();
        if (m_switchView)
            m_switchView();
    });
}

void CTessarinView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Artwork::ButtonShadowColour());
    const int x = width() / 2 - m_picture.width() / 2;
    const int y = height() / 2 - m_picture.height() / 2;
    p.drawPixmap(x, y, m_picture);
    m_pictureRect = QRect(x, y, m_picture.width(), m_picture.height());
}
