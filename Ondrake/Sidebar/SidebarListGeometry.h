#pragma once

#include "Ondrake/Sidebar/SidebarRowDelegate.h"
#include "Ondrake/Sidebar/SidebarRowModel.h"
#include "Ondrake/Sidebar/TabRow.h"

#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

namespace ondrake {

// Where things lie in the tab list, in its content coordinates (from the top of the first
// entry): the bands that take the pointer, the parts of a row, the help under the pointer and
// the group frames a drop lands on. A view over the model, made for one question at a time.
class SidebarListGeometry {
public:
    enum class Part { row, chevron, close, heading };
    struct Hit {
        int entry = -1;
        Part part = Part::row;
        bool operator==(const Hit &) const = default;
    };

    // The model and the style must outlive the geometry; `width` is the list's.
    SidebarListGeometry(const SidebarRowModel &model, double width, const SidebarRowDelegate::Style &style)
        : model_(model), width_(width), style_(style) {}

    QRectF entryRect(int entry) const;
    // The entry's own band: its content, without the spacing and padding around it.
    QRectF band(int entry) const;
    // The entry whose band holds the point; -1 in the sidebar's empty space between the bands.
    int entryAt(QPointF point) const;
    std::optional<QString> tabAt(QPointF point) const;
    // What a press at the point acts on. The buttons are those of a hovered row: the pointer
    // that presses them hovers it.
    std::optional<Hit> hitAt(QPointF point) const;
    TabRowGeometry rowGeometry(int entry, bool hovered) const;
    // The help the pointer shows there: a badge's, a button's, the row's or the heading's.
    QString helpAt(QPointF point) const;
    GroupFrames groupFrames() const { return model_.groupFrames(int(width_)); }

    const SidebarRowModel &model() const { return model_; }
    double width() const { return width_; }
    bool compact() const { return style_.compact; }

private:
    const SidebarRowModel &model_;
    double width_;
    const SidebarRowDelegate::Style &style_;
};

}  // namespace ondrake
