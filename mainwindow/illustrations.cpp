#include "mainwindow/illustrations.h"

#include <QPainter>
#include <QPainterPath>

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

    const QColor fur(214, 168, 110);
    const QColor dark(90, 60, 40);
    p.setPen(QPen(dark, 1.5));
    // Ears, head, muzzle.
    p.setBrush(dark);
    p.drawEllipse(QRectF(14, 18, 22, 40));
    p.drawEllipse(QRectF(64, 18, 22, 40));
    p.setBrush(fur);
    p.drawEllipse(QRectF(22, 20, 56, 56));
    p.setBrush(QColor(250, 235, 215));
    p.drawEllipse(QRectF(36, 48, 28, 22));
    // Eyes, nose, mouth.
    p.setBrush(dark);
    p.drawEllipse(QPointF(40, 43), 3.5, 4);
    p.drawEllipse(QPointF(60, 43), 3.5, 4);
    p.drawEllipse(QPointF(50, 54), 4.5, 3.5);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(43, 55, 7, 7), 200 * 16, 140 * 16);
    p.drawArc(QRectF(50, 55, 7, 7), 200 * 16, 140 * 16);
    // Collar with a dosimeter badge.
    p.setBrush(QColor(60, 110, 190));
    p.drawRoundedRect(QRectF(30, 76, 40, 8), 3, 3);
    p.setBrush(QColor(250, 210, 60));
    p.drawEllipse(QPointF(50, 88), 6, 6);
}

void MascotPicture::mouseDoubleClickEvent(QMouseEvent*) {
    emit doubleClicked();
}

}  // namespace korvex
