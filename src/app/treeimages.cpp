#include "app/treeimages.h"

#include "browse/foldertreeview.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor FolderOutline(0xa0, 0x74, 0x18);
const QColor SteelOutline(0x3c, 0x55, 0x73);

// A closed folder in a 16-unit square: tab and body.
void paintFolder(QPainter &p)
{
    QPainterPath tab;
    tab.moveTo(1.5, 4.5);
    tab.lineTo(1.5, 2.5);
    tab.lineTo(6, 2.5);
    tab.lineTo(7.5, 4);
    tab.closeSubpath();
    p.setPen(QPen(FolderOutline, 1));
    p.setBrush(QColor(0xe8, 0xb3, 0x3a));
    p.drawPath(tab);
    QLinearGradient body(0, 4, 0, 14);
    body.setColorAt(0, QColor(0xfb, 0xd8, 0x6b));
    body.setColorAt(1, QColor(0xe9, 0xad, 0x2c));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1, 1);
}

// An open folder: the back with a sheet of paper and the front flap tilted forward.
void paintOpenFolder(QPainter &p)
{
    p.setPen(QPen(FolderOutline, 1));
    p.setBrush(QColor(0xe3, 0xa8, 0x2e));
    QPainterPath back;
    back.moveTo(1.5, 13.5);
    back.lineTo(1.5, 2.5);
    back.lineTo(6, 2.5);
    back.lineTo(7.5, 4);
    back.lineTo(13.5, 4);
    back.lineTo(13.5, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setPen(QPen(QColor(0x9a, 0x9a, 0x9a), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 5.5, 8, 6));
    QPainterPath front;
    front.moveTo(1.5, 13.5);
    front.lineTo(3.5, 7.5);
    front.lineTo(15.5, 7.5);
    front.lineTo(13.5, 13.5);
    front.closeSubpath();
    QLinearGradient flap(0, 7, 0, 14);
    flap.setColorAt(0, QColor(0xfd, 0xe3, 0x8a));
    flap.setColorAt(1, QColor(0xf0, 0xb8, 0x3c));
    p.setPen(QPen(FolderOutline, 1));
    p.setBrush(flap);
    p.drawPath(front);
}

// A category: a steel filing drawer, pulled out with papers when open.
void paintCategory(QPainter &p, bool open)
{
    QLinearGradient steel(0, 1, 0, 15);
    steel.setColorAt(0, QColor(0x9c, 0xb6, 0xd3));
    steel.setColorAt(1, QColor(0x5f, 0x80, 0xa6));
    p.setPen(QPen(SteelOutline, 1));
    p.setBrush(steel);
    p.drawRoundedRect(QRectF(2.5, 1.5, 11, 13), 1, 1);
    if (open) {
        p.setBrush(QColor(0x2f, 0x44, 0x5e));
        p.drawRect(QRectF(3.5, 4.5, 9, 5));
        p.setPen(QPen(QColor(0x9a, 0x9a, 0x9a), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 2.5, 7, 4));
        p.setPen(QPen(SteelOutline, 1));
        p.setBrush(steel);
        p.drawRect(QRectF(1.5, 6.5, 13, 4));
        p.setBrush(QColor(0xe6, 0xec, 0xf3));
        p.drawRect(QRectF(6.5, 7.5, 3, 2));
    } else {
        p.drawLine(QPointF(2.5, 8), QPointF(13.5, 8));
        p.setBrush(QColor(0xe6, 0xec, 0xf3));
        p.drawRect(QRectF(6.5, 4, 3, 2));
        p.drawRect(QRectF(6.5, 10, 3, 2));
    }
}

// A library: a database cylinder.
void paintLibrary(QPainter &p)
{
    QLinearGradient side(1, 0, 15, 0);
    side.setColorAt(0, QColor(0x2c, 0x5d, 0x96));
    side.setColorAt(0.45, QColor(0x6c, 0x9c, 0xd2));
    side.setColorAt(1, QColor(0x25, 0x4f, 0x80));
    p.setPen(QPen(QColor(0x1d, 0x3d, 0x63), 1));
    p.setBrush(side);
    QPainterPath body;
    body.moveTo(2.5, 3.5);
    body.lineTo(2.5, 12.5);
    body.arcTo(QRectF(2.5, 10.5, 11, 4), 180, 180);
    body.lineTo(13.5, 3.5);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(QColor(0xa9, 0xc8, 0xea));
    p.drawEllipse(QRectF(2.5, 1.5, 11, 4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 5.5, 11, 4), 180 * 16, 180 * 16);
    p.drawArc(QRectF(2.5, 8.5, 11, 4), 180 * 16, 180 * 16);
}

QPixmap render(int index, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    switch (index) {
    case CategoryImage:
        paintCategory(p, false);
        break;
    case CategoryOpenImage:
        paintCategory(p, true);
        break;
    case LibraryImage:
        paintLibrary(p);
        break;
    case FolderImage:
        paintFolder(p);
        break;
    case FolderOpenImage:
        paintOpenFolder(p);
        break;
    }
    return pixmap;
}

} // namespace

QIcon TreeImageIcon(int index)
{
    switch (index) {
    case CategoryImage:
    case CategoryOpenImage:
    case LibraryImage:
    case FolderImage:
    case FolderOpenImage: {
        QIcon icon;
        for (const int size : {16, 24, 32})
            icon.addPixmap(render(index, size));
        return icon;
    }
    default:
        return QIcon();
    }
}

QPixmap SplashLogo(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    QLinearGradient ground(0, 0, 64, 64);
    ground.setColorAt(0, QColor(0x2f, 0x6d, 0xb5));
    ground.setColorAt(1, QColor(0x16, 0x3a, 0x66));
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawRoundedRect(QRectF(1, 1, 62, 62), 12, 12);

    // Two folders with an arrow from the one to the other: what the program does.
    p.setBrush(QColor(0xfb, 0xd8, 0x6b));
    p.setPen(QPen(QColor(0xa0, 0x74, 0x18), 1.2));
    p.drawRoundedRect(QRectF(8, 14, 18, 13), 2, 2);
    p.drawRoundedRect(QRectF(38, 37, 18, 13), 2, 2);
    p.drawRect(QRectF(8, 11, 8, 4));
    p.drawRect(QRectF(38, 34, 8, 4));
    QPainterPath arrow;
    arrow.moveTo(20, 32);
    arrow.cubicTo(22, 44, 28, 44, 33, 44);
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arrow);
    QPainterPath head;
    head.moveTo(36, 44);
    head.lineTo(29, 38.5);
    head.lineTo(29, 49.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(head);
    return pixmap;
}
