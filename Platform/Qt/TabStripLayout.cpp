#include "Qt/TabStripLayout.h"

#include <algorithm>

namespace ondrake {

TabStripLayout::TabStripLayout(int width, int tabCount)
    : tabCount_(std::max(tabCount, 0)),
      tabWidth_(tabCount_ == 0 ? 0 : std::clamp((width - kNewTabWidth) / tabCount_, 0, kMaximumTabWidth)) {}

QRect TabStripLayout::tabRect(int index) const { return {index * tabWidth_, 0, tabWidth_, kHeight}; }

QRect TabStripLayout::closeRect(int index) const {
    const auto tab = tabRect(index);
    return {tab.right() + 1 - kCloseInset - kCloseSize, (kHeight - kCloseSize) / 2, kCloseSize, kCloseSize};
}

QRect TabStripLayout::newTabRect() const { return {tabCount_ * tabWidth_, 0, kNewTabWidth, kHeight}; }

TabStripLayout::Hit TabStripLayout::hitTest(QPoint point) const {
    if (point.y() < 0 || point.y() >= kHeight || point.x() < 0) return {};
    if (newTabRect().contains(point)) return {Hit::newTab, -1};
    if (tabWidth_ == 0) return {};
    const int index = point.x() / tabWidth_;
    if (index >= tabCount_) return {};
    if (showsCloseMarks() && closeRect(index).contains(point)) return {Hit::close, index};
    return {Hit::tab, index};
}

}  // namespace ondrake
