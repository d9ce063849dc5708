#include "gui/Artwork.h"

#include <QApplication>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QRadialGradient>

namespace Artwork {
namespace {

const QColor kBody(46, 52, 60);
const QColor kBodyEdge(20, 24, 28);
const QColor kDisplay(150, 205, 120);
const QColor kAccent(232, 120, 28);
const QColor kKey(88, 96, 108);

// A handheld radio standing in `r` (its height sets the scale).
void DrawHandheld(QPainter& p, const QRectF& r)
{
    const double u = r.height() / 100.0;
    const double bodyWidth = 38 * u;
    const double left = r.center().x() - bodyWidth / 2;
    const QRectF body(left, r.top() + 30 * u, bodyWidth, 70 * u);

    // Antenna and knobs.
    p.setPen(Qt::NoPen);
    p.setBrush(kBodyEdge);
    p.drawRoundedRect(QRectF(left + 6 * u, r.top(), 5 * u, 32 * u), 2 * u, 2 * u);
    p.setBrush(kKey);
    p.drawRoundedRect(QRectF(left + 22 * u, r.top() + 22 * u, 8 * u, 9 * u), 1.5 * u, 1.5 * u);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(left + 15 * u, r.top() + 25 * u, 5 * u, 6 * u), 1 * u, 1 * u);

    // Body with a soft highlight.
    QLinearGradient shade(body.topLeft(), body.topRight());
    shade.setColorAt(0, kBody.lighter(135));
    shade.setColorAt(0.5, kBody);
    shade.setColorAt(1, kBody.darker(130));
    p.setPen(QPen(kBodyEdge, 0.8 * u));
    p.setBrush(shade);
    p.drawRoundedRect(body, 5 * u, 5 * u);

    // Speaker grille.
    p.setPen(QPen(kBodyEdge, 0.9 * u, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 5; ++i) {
        double y = body.top() + (6 + i * 3) * u;
        p.drawLine(QPointF(body.left() + 8 * u, y), QPointF(body.right() - 8 * u, y));
    }

    // Display.
    QRectF display(body.left() + 5 * u, body.top() + 23 * u, bodyWidth - 10 * u, 11 * u);
    p.setPen(QPen(kBodyEdge, 0.6 * u));
    p.setBrush(kDisplay);
    p.drawRoundedRect(display, 1.5 * u, 1.5 * u);
    p.setPen(kBodyEdge.darker(150));
    QFont font = p.font();
    font.setPixelSize(std::max(1, int(5 * u)));
    font.setBold(true);
    p.setFont(font);
    p.drawText(display, Qt::AlignCenter, "CH 01");

    // Keypad: four rows of three keys.
    p.setPen(Qt::NoPen);
    p.setBrush(kKey);
    const double keyWidth = (bodyWidth - 14 * u) / 3;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawRoundedRect(QRectF(body.left() + 5 * u + col * (keyWidth + 2 * u),
                                     body.top() + 39 * u + row * 7 * u, keyWidth, 5 * u),
                              1.2 * u, 1.2 * u);

    // Side press-to-talk bar.
    p.setBrush(kAccent.darker(120));
    p.drawRoundedRect(QRectF(body.left() - 2.2 * u, body.top() + 12 * u, 2.4 * u, 16 * u), 1 * u, 1 * u);
}

// A mobile (dashboard) radio with its hand microphone, filling `r` by width.
void DrawMobile(QPainter& p, const QRectF& r)
{
    const double u = r.width() / 100.0;
    const QRectF body(r.left(), r.center().y() - 12 * u, 78 * u, 24 * u);
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, kBody.lighter(140));
    shade.setColorAt(1, kBody.darker(130));
    p.setPen(QPen(kBodyEdge, 0.6 * u));
    p.setBrush(shade);
    p.drawRoundedRect(body, 3 * u, 3 * u);

    // Display and knobs.
    QRectF display(body.left() + 22 * u, body.top() + 5 * u, 34 * u, 9 * u);
    p.setBrush(kDisplay);
    p.drawRoundedRect(display, 1 * u, 1 * u);
    QFont font = p.font();
    font.setPixelSize(std::max(1, int(4.5 * u)));
    font.setBold(true);
    p.setFont(font);
    p.setPen(kBodyEdge.darker(150));
    p.drawText(display, Qt::AlignCenter, "ZONE 1  CH 04");
    p.setPen(QPen(kBodyEdge, 0.5 * u));
    p.setBrush(kKey);
    p.drawEllipse(QPointF(body.left() + 10 * u, body.center().y()), 6 * u, 6 * u);
    p.drawEllipse(QPointF(body.right() - 10 * u, body.center().y()), 5 * u, 5 * u);
    for (int i = 0; i < 4; ++i)
        p.drawRoundedRect(QRectF(body.left() + (23 + i * 8.5) * u, body.top() + 16.5 * u, 6.5 * u, 4 * u),
                          1 * u, 1 * u);

    // Curly cord to the microphone.
    QPainterPath cord(QPointF(body.right(), body.center().y() + 6 * u));
    for (int i = 0; i < 8; ++i) {
        double x = body.right() + (i + 1) * 1.5 * u;
        cord.quadTo(QPointF(x - 0.75 * u, body.center().y() + (i % 2 ? 12 : 4) * u),
                    QPointF(x, body.center().y() + (6 + i * 1.2) * u));
    }
    p.setPen(QPen(kBodyEdge, 0.8 * u));
    p.setBrush(Qt::NoBrush);
    p.drawPath(cord);

    // Microphone.
    QRectF mic(r.right() - 11 * u, body.center().y() + 6 * u, 10 * u, 18 * u);
    p.setPen(QPen(kBodyEdge, 0.6 * u));
    p.setBrush(shade);
    p.drawRoundedRect(mic, 4 * u, 4 * u);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(mic.left() - 1 * u, mic.top() + 5 * u, 1.6 * u, 7 * u), 0.8 * u, 0.8 * u);
}

// The interface box with its cable, seen flat, in `r`.
void DrawFlashKit(QPainter& p, const QRectF& r)
{
    const double u = r.height() / 100.0;
    QRectF box(r.left(), r.top() + 35 * u, r.width() * 0.55, 40 * u);
    p.setPen(QPen(kBodyEdge, 0.8 * u));
    QLinearGradient shade(box.topLeft(), box.bottomLeft());
    shade.setColorAt(0, QColor(70, 110, 160));
    shade.setColorAt(1, QColor(40, 70, 110));
    p.setBrush(shade);
    p.drawRoundedRect(box, 4 * u, 4 * u);
    // Switch and lamp.
    p.setBrush(QColor(230, 230, 230));
    p.drawRoundedRect(QRectF(box.left() + 6 * u, box.top() + 12 * u, 14 * u, 8 * u), 2 * u, 2 * u);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(box.left() + 13 * u, box.top() + 13 * u, 6 * u, 6 * u), 1.5 * u, 1.5 * u);
    p.setBrush(QColor(120, 230, 90));
    p.drawEllipse(QPointF(box.right() - 9 * u, box.top() + 10 * u), 3 * u, 3 * u);
    QFont font = p.font();
    font.setPixelSize(std::max(1, int(7 * u)));
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(box.left(), box.top() + 24 * u, box.width(), 14 * u), Qt::AlignCenter, "FLASH");
    // Cable from the box to the right edge.
    QPainterPath cable(QPointF(box.right(), box.center().y()));
    cable.cubicTo(QPointF(box.right() + 15 * u, box.center().y() + 30 * u),
                  QPointF(r.right() - 20 * u, r.top() + 10 * u), QPointF(r.right(), r.top() + 20 * u));
    p.setPen(QPen(kBodyEdge, 2.5 * u, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(cable);
}

// A background of the shadow colour with a lighter glow behind the subject.
void FillBackdrop(QPainter& p, const QRectF& r)
{
    QRadialGradient glow(r.center(), r.width() * 0.6);
    glow.setColorAt(0, QColor(236, 240, 246));
    glow.setColorAt(1, QColor(170, 184, 204));
    p.fillRect(r, glow);
    p.setPen(QPen(QColor(90, 100, 120), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(1, 1, -1, -1));
}

void DrawCaption(QPainter& p, const QRectF& r, const QString& text)
{
    QFont font = p.font();
    font.setPixelSize(std::max(8, int(r.height() * 0.07)));
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(40, 50, 70));
    p.drawText(r.adjusted(0, 0, 0, -r.height() * 0.04), Qt::AlignHCenter | Qt::AlignBottom, text);
}

QPixmap NewPicture(int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QPixmap ProductPicture(int id, int width, int height)
{
    QPixmap pixmap = NewPicture(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF all(0, 0, width, height);
    FillBackdrop(p, all);
    const QRectF stage = all.adjusted(width * 0.08, height * 0.08, -width * 0.08, -height * 0.2);
    switch (id) {
    case kMobilePicture:
        DrawMobile(p, QRectF(stage.left(), stage.top(), stage.width(), stage.height()));
        DrawCaption(p, all, "Mobile radio upgrade");
        break;
    case kBenchPicture:
        DrawFlashKit(p, QRectF(stage.left(), stage.center().y() - stage.height() * 0.25, stage.width() * 0.6,
                               stage.height() * 0.7));
        DrawHandheld(p, QRectF(stage.left() + stage.width() * 0.62, stage.top(), stage.width() * 0.38, stage.height()));
        DrawCaption(p, all, "Portable radio flashing");
        break;
    default:
        DrawHandheld(p, stage);
        DrawCaption(p, all, "Portable radio upgrade");
        break;
    }
    return pixmap;
}

QPixmap FlashAdapterPicture()
{
    QPixmap pixmap = NewPicture(96, 72);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(pixmap.rect(), QColor(236, 240, 246));
    DrawFlashKit(p, QRectF(4, 12, 62, 52));
    DrawHandheld(p, QRectF(60, 4, 32, 64));
    return pixmap;
}

QPixmap ProgramIcon(int size)
{
    QPixmap pixmap = NewPicture(size, size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double u = size / 32.0;
    // A chip with pins, and an arrow going into it.
    QRectF chip(9 * u, 9 * u, 20 * u, 20 * u);
    p.setPen(QPen(QColor(20, 20, 20), 1 * u));
    for (int i = 0; i < 4; ++i) {
        double at = chip.left() + (3.5 + i * 4.3) * u;
        p.drawLine(QPointF(at, chip.top() - 2.5 * u), QPointF(at, chip.top()));
        p.drawLine(QPointF(at, chip.bottom()), QPointF(at, chip.bottom() + 2.5 * u));
        double y = chip.top() + (3.5 + i * 4.3) * u;
        p.drawLine(QPointF(chip.right(), y), QPointF(chip.right() + 2.5 * u, y));
    }
    p.setBrush(QColor(40, 44, 52));
    p.drawRoundedRect(chip, 2 * u, 2 * u);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 230, 90));
    p.drawEllipse(QPointF(chip.right() - 4 * u, chip.bottom() - 4 * u), 2 * u, 2 * u);
    QPainterPath arrow;
    arrow.moveTo(1 * u, 15 * u);
    arrow.lineTo(11 * u, 15 * u);
    arrow.lineTo(11 * u, 10 * u);
    arrow.lineTo(20 * u, 19 * u);
    arrow.lineTo(11 * u, 28 * u);
    arrow.lineTo(11 * u, 23 * u);
    arrow.lineTo(1 * u, 23 * u);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(120, 50, 0), 1 * u));
    p.setBrush(kAccent);
    p.drawPath(arrow);
    return pixmap;
}

QPixmap ToolbarPicture(ToolbarImage image)
{
    QPixmap pixmap = NewPicture(16, 15);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(30, 40, 60);
    switch (image) {
    case ToolbarImage::CommSetting: {
        // A serial connector: a trapezoid shell with two rows of pins.
        QPainterPath shell;
        shell.moveTo(1.5, 3.5);
        shell.lineTo(14.5, 3.5);
        shell.lineTo(12.5, 11.5);
        shell.lineTo(3.5, 11.5);
        shell.closeSubpath();
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(190, 200, 215));
        p.drawPath(shell);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        for (int i = 0; i < 5; ++i)
            p.drawEllipse(QPointF(3.8 + i * 2.1, 6), 0.8, 0.8);
        for (int i = 0; i < 4; ++i)
            p.drawEllipse(QPointF(4.8 + i * 2.1, 9), 0.8, 0.8);
        break;
    }
    case ToolbarImage::OrxSetting: {
        // The interface box with an echo arc.
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(70, 110, 160));
        p.drawRoundedRect(QRectF(1.5, 5.5, 9, 7), 1.5, 1.5);
        p.setBrush(QColor(120, 230, 90));
        p.drawEllipse(QPointF(4.5, 9), 1.2, 1.2);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(8, 2, 6, 6), -60 * 16, 150 * 16);
        p.drawArc(QRectF(9.5, 3.5, 3, 3), -60 * 16, 150 * 16);
        break;
    }
    case ToolbarImage::About: {
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(255, 245, 170));
        p.drawEllipse(QRectF(1.5, 1, 13, 13));
        QFont font("DejaVu Serif");
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.setPen(ink);
        p.drawText(QRectF(0, 0.5, 16, 14), Qt::AlignCenter, "?");
        break;
    }
    }
    return pixmap;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        QPixmap pixmap = NewPicture(size, size);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const double u = size / 64.0;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 70, 110));
        p.drawRoundedRect(QRectF(2 * u, 2 * u, 60 * u, 60 * u), 12 * u, 12 * u);
        DrawHandheld(p, QRectF(12 * u, 6 * u, 40 * u, 52 * u));
        icon.addPixmap(pixmap);
    }
    return icon;
}

QColor ButtonShadowColour()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Dark);
}

} // namespace Artwork
