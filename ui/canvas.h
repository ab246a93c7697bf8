#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <map>
#include <vector>

namespace korvex {

// One recorded drawing operation, in the canvas' user units.
struct CanvasOperation {
    enum class Kind { Text, FillRect };
    Kind kind = Kind::Text;
    double x = 0, y = 0;    // top-left corner of the text, or first corner of the rectangle
    double x2 = 0, y2 = 0;  // opposite corner of the rectangle
    QString text;
    QColor color;
    QString font_name;
    double font_size_pt = 0;
};

// A straight line of a group of lines that are shown or hidden together.
struct CanvasLine {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    QColor color;
    double width = 1;  // in pixels at the design size
};

// A drawing area with a user coordinate scale whose drawing is retained: every text and
// filled rectangle is recorded and replayed on each paint, scaled to the widget, so
// nothing drawn is lost when the window is covered or resized. Clear() forgets all
// drawing; line groups are kept and shown or hidden as a whole.
class Canvas : public QWidget {
    Q_OBJECT

  public:
    // `width_units` x `height_units` user units fill a design size of `design_size` pixels.
    Canvas(double width_units, double height_units, QSize design_size, QWidget* parent = nullptr);

    void Clear();
    void SetTextColor(const QColor& color) { color_ = color; }
    void SetFontName(const QString& name) { font_name_ = name; }
    void SetFontSize(double points) { font_size_pt_ = points; }
    QColor TextColor() const { return color_; }
    QString FontName() const { return font_name_; }
    double FontSize() const { return font_size_pt_; }

    void DrawText(double x, double y, const QString& text);
    void FillRect(double x1, double y1, double x2, double y2, const QColor& color);

    void AddLine(const QString& group, const CanvasLine& line);
    void SetGroupVisible(const QString& group, bool visible);
    bool GroupVisible(const QString& group) const;

    const std::vector<CanvasOperation>& Operations() const { return operations_; }

    // Widget position of a point in user units (for controls placed over the drawing).
    QPointF ToWidget(double x, double y) const;
    QSize sizeHint() const override { return design_size_; }

  private:
    void paintEvent(QPaintEvent* event) override;

    struct LineGroup {
        std::vector<CanvasLine> lines;
        bool visible = false;
    };

    double width_units_;
    double height_units_;
    QSize design_size_;
    QColor color_ = Qt::black;
    QString font_name_;
    double font_size_pt_ = 9;
    std::vector<CanvasOperation> operations_;
    std::map<QString, LineGroup> groups_;
};

}  // namespace korvex
