#pragma once

#include <string>
#include <vector>

#include "report/print_surface.h"

namespace korvex::testing {

// Records the page instead of printing it. Text widths follow a simple model of a Mincho
// face: a full em for Japanese characters, half an em for ASCII.
class RecordingPrintSurface : public PrintSurface {
  public:
    struct Operation {
        enum class Kind { Orientation, Line, Text, End };
        Kind kind = Kind::Text;
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // a line's ends; a text's corner in x1, y1
        bool continued = false;                 // a line drawn on from the previous one
        std::string text;
        std::string font_name;
        double font_size_pt = 0;
        int line_width = 0;
        PageOrientation orientation = PageOrientation::Portrait;
    };

    void SetOrientation(PageOrientation orientation) override {
        Operation op = Current(Operation::Kind::Orientation);
        op.orientation = orientation;
        operations_.push_back(op);
    }
    void SetExtent(const PageExtent& extent) override { extent_ = extent; }
    void SetFontName(std::string_view name) override { font_name_ = name; }
    void SetFontSize(double points) override { font_size_pt_ = points; }
    void SetLineWidth(int printer_pixels) override { line_width_ = printer_pixels; }
    void Line(double x1_mm, double y1_mm, double x2_mm, double y2_mm) override {
        AddLine(x1_mm, y1_mm, x2_mm, y2_mm, false);
    }
    void LineTo(double x_mm, double y_mm) override { AddLine(end_x_, end_y_, x_mm, y_mm, true); }
    void Text(double x_mm, double y_mm, std::string_view text) override {
        Operation op = Current(Operation::Kind::Text);
        op.x1 = x_mm;
        op.y1 = y_mm;
        op.text = text;
        operations_.push_back(op);
    }
    double TextWidth(std::string_view text) override {
        const double em_mm = font_size_pt_ * 25.4 / 72;
        double ems = 0;
        for (unsigned char byte : text) {
            if (byte < 0x80) {
                ems += 0.5;
            } else if ((byte & 0xC0) != 0x80) {
                ems += 1;  // the first byte of a multi-byte character
            }
        }
        return ems * em_mm;
    }
    void EndDocument() override { operations_.push_back(Current(Operation::Kind::End)); }

    const std::vector<Operation>& Operations() const { return operations_; }
    std::vector<Operation> Of(Operation::Kind kind) const {
        std::vector<Operation> found;
        for (const Operation& op : operations_) {
            if (op.kind == kind) {
                found.push_back(op);
            }
        }
        return found;
    }
    std::vector<Operation> Lines() const { return Of(Operation::Kind::Line); }
    std::vector<Operation> Texts() const { return Of(Operation::Kind::Text); }
    // The texts printed on the line at y, in order.
    std::vector<std::string> TextsAt(double y_mm) const {
        std::vector<std::string> texts;
        for (const Operation& op : Texts()) {
            if (op.y1 == y_mm) {
                texts.push_back(op.text);
            }
        }
        return texts;
    }
    // The first text operation printing `text`, or null.
    const Operation* FindText(std::string_view text) const {
        for (const Operation& op : operations_) {
            if (op.kind == Operation::Kind::Text && op.text == text) {
                return &op;
            }
        }
        return nullptr;
    }

    // The box the layout said it inks.
    const PageExtent& Extent() const { return extent_; }

  private:
    Operation Current(Operation::Kind kind) const {
        Operation op;
        op.kind = kind;
        op.font_name = font_name_;
        op.font_size_pt = font_size_pt_;
        op.line_width = line_width_;
        return op;
    }
    void AddLine(double x1, double y1, double x2, double y2, bool continued) {
        Operation op = Current(Operation::Kind::Line);
        op.x1 = x1;
        op.y1 = y1;
        op.x2 = x2;
        op.y2 = y2;
        op.continued = continued;
        operations_.push_back(op);
        end_x_ = x2;
        end_y_ = y2;
    }

    std::vector<Operation> operations_;
    PageExtent extent_;
    std::string font_name_;
    double font_size_pt_ = 0;
    int line_width_ = 0;
    double end_x_ = 0, end_y_ = 0;
};

}  // namespace korvex::testing
