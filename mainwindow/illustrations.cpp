#include "mainwindow/illustrations.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace korvex {

ExposurePicture::ExposurePicture(QWidget* parent) : QWidget(parent) {
    setMinimumSize(180, 120);
}

void ExposurePicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(width() / 220.0, height() / 150.0);

    // Patient lying on the couch (table top), the tube below: the beam passes the couch
    // before it reaches the skin, as in interventional work.
    p.setPen(QPen(QColor(150, 110, 90), 1));
    p.setBrush(QColor(240, 205, 180));
    p.drawRoundedRect(QRectF(30, 30, 160, 22), 11, 11);
    p.drawEllipse(QPointF(190, 41), 12, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 130, 150));
    p.drawRect(QRectF(20, 52, 180, 6));

    // Beam cone from the focus up through the couch to the entrance surface.
    QPainterPath cone;
    cone.moveTo(110, 112);
    cone.lineTo(82, 52);
    cone.lineTo(138, 52);
    cone.closeSubpath();
    p.setBrush(QColor(255, 200, 60, 90));
    p.drawPath(cone);

    // Tube housing and anode.
    p.setPen(QPen(QColor(60, 70, 90), 1.5));
    p.setBrush(QColor(205, 212, 225));
    p.drawRoundedRect(QRectF(70, 112, 80, 26), 8, 8);
    p.setBrush(QColor(150, 120, 60));
    p.drawEllipse(QPointF(110, 119), 6, 6);

    // Entrance surface: the skin on the couch side.
    p.setPen(QPen(QColor(200, 40, 40), 2));
    p.drawLine(QPointF(86, 52), QPointF(134, 52));
    p.setPen(QColor(200, 40, 40));
    QFont font = p.font();
    font.setPixelSize(10);
    p.setFont(font);
    p.drawText(QRectF(150, 72, 70, 14), Qt::AlignLeft, "ESD");
    p.drawLine(QPointF(150, 78), QPointF(126, 54));
}

MascotPicture::MascotPicture(QWidget* parent) : QWidget(parent) {
    setMinimumSize(72, 72);
}

void MascotPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height());
    p.translate((width() - side) / 2, (height() - side) / 2);
    p.scale(side / 100.0, side / 100.0);

    const QColor fur(222, 176, 116);
    const QColor light(252, 240, 222);
    const QColor dark(92, 60, 38);
    const QPen outline(dark, 1.6);

    // A small dog sitting and looking at the user, wagging its tail.
    QPainterPath tail;
    tail.moveTo(70, 84);
    tail.cubicTo(84, 84, 90, 70, 86, 58);
    p.setPen(QPen(dark, 7.5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(tail);
    p.setPen(QPen(fur, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(tail);

    p.setPen(outline);
    p.setBrush(fur);
    p.drawEllipse(QRectF(28, 56, 46, 40));  // body
    p.setBrush(light);
    p.drawEllipse(QRectF(40, 60, 22, 26));  // chest
    p.setBrush(fur);
    p.drawRoundedRect(QRectF(36, 80, 11, 17), 5, 5);  // front legs
    p.drawRoundedRect(QRectF(55, 80, 11, 17), 5, 5);
    p.setBrush(light);
    p.drawEllipse(QRectF(34, 91, 15, 7));  // paws
    p.drawEllipse(QRectF(53, 91, 15, 7));

    // Floppy ears behind the head.
    for (const double sign : {-1.0, 1.0}) {
        p.save();
        p.translate(50 + sign * 24, 26);
        p.rotate(sign * 18);
        p.setBrush(dark);
        p.drawEllipse(QRectF(-8, -6, 16, 34));
        p.restore();
    }
    p.setBrush(fur);
    p.drawEllipse(QRectF(25, 10, 50, 48));  // head
    p.setBrush(light);
    p.drawEllipse(QRectF(36, 34, 28, 21));  // muzzle

    // Eyes with a highlight, cheeks, nose, smiling mouth and tongue.
    p.setPen(Qt::NoPen);
    p.setBrush(dark);
    p.drawEllipse(QPointF(40, 30), 3.8, 4.4);
    p.drawEllipse(QPointF(60, 30), 3.8, 4.4);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(41.2, 28.6), 1.3, 1.3);
    p.drawEllipse(QPointF(61.2, 28.6), 1.3, 1.3);
    p.setBrush(QColor(240, 130, 130, 110));
    p.drawEllipse(QPointF(33, 40), 4.5, 3);
    p.drawEllipse(QPointF(67, 40), 4.5, 3);
    p.setBrush(QColor(236, 110, 120));
    p.drawRoundedRect(QRectF(46.5, 45, 7, 8), 3.5, 3.5);
    p.setPen(outline);
    p.setBrush(dark);
    p.drawEllipse(QPointF(50, 38), 4.6, 3.4);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(43, 40, 7, 7), 200 * 16, 140 * 16);
    p.drawArc(QRectF(50, 40, 7, 7), 200 * 16, 140 * 16);

    // Collar with a dosimeter badge.
    p.setBrush(QColor(60, 110, 190));
    p.drawRoundedRect(QRectF(35, 55, 30, 6), 3, 3);
    p.setBrush(QColor(250, 210, 60));
    p.drawEllipse(QPointF(50, 64), 4.2, 4.2);
}

void MascotPicture::mouseDoubleClickEvent(QMouseEvent*) {
    emit doubleClicked();
}

}  // namespace korvex
