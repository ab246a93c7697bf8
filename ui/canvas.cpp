#include "ui/canvas.h"

#include <QPainter>
#include <algorithm>

namespace korvex {

Canvas::Canvas(double width_units, double height_units, QSize design_size, QWidget* parent)
    : QWidget(parent),
      width_units_(width_units),
      height_units_(height_units),
      design_size_(design_size) {
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);
    setMinimumSize(design_size_ / 2);
}

void Canvas::Clear() {
    operations_.clear();
    update();
}

void Canvas::DrawText(double x, double y, const QString& text) {
    CanvasOperation op;
    op.kind = CanvasOperation::Kind::Text;
    op.x = x;
    op.y = y;
    op.text = text;
    op.color = color_;
    op.font_name = font_name_;
    op.font_size_pt = font_size_pt_;
    operations_.push_back(op);
    update();
}

void Canvas::FillRect(double x1, double y1, double x2, double y2, const QColor& color) {
    CanvasOperation op;
    op.kind = CanvasOperation::Kind::FillRect;
    op.x = x1;
    op.y = y1;
    op.x2 = x2;
    op.y2 = y2;
    op.color = color;
    operations_.push_back(op);
    update();
}

void Canvas::AddLine(const QString& group, const CanvasLine& line) {
    groups_[group].lines.push_back(line);
    update();
}

void Canvas::SetGroupVisible(const QString& group, bool visible) {
    groups_[group].visible = visible;
    update();
}

bool Canvas::GroupVisible(const QString& group) const {
    const auto found = groups_.find(group);
    return found != groups_.end() && found->second.visible;
}

QPointF Canvas::ToWidget(double x, double y) const {
    return {x * width() / width_units_, y * height() / height_units_};
}

void Canvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // Fonts grow and shrink with the area, so the drawn table keeps its proportions.
    const double scale = std::min(static_cast<double>(width()) / design_size_.width(),
                                  static_cast<double>(height()) / design_size_.height());

    for (const auto& [name, group] : groups_) {
        if (!group.visible) {
            continue;
        }
        for (const CanvasLine& line : group.lines) {
            QPen pen(line.color);
            pen.setWidthF(std::max(1.0, line.width * scale));
            painter.setPen(pen);
            painter.drawLine(ToWidget(line.x1, line.y1), ToWidget(line.x2, line.y2));
        }
    }

    for (const CanvasOperation& op : operations_) {
        if (op.kind == CanvasOperation::Kind::FillRect) {
            const QPointF a = ToWidget(op.x, op.y);
            const QPointF b = ToWidget(op.x2, op.y2);
            painter.fillRect(QRectF(a, b).normalized(), op.color);
            continue;
        }
        QFont font(op.font_name);
        font.setPixelSize(std::max(1, static_cast<int>(op.font_size_pt * 96.0 / 72.0 * scale)));
        painter.setFont(font);
        painter.setPen(op.color);
        const QPointF top_left = ToWidget(op.x, op.y);
        const QFontMetricsF metrics(font);
        painter.drawText(QPointF(top_left.x(), top_left.y() + metrics.ascent()), op.text);
    }
}

}  // namespace korvex
