#pragma once

#include <QPoint>
#include <QRect>

namespace ondrake {

// Where the tabs, their close marks and the new-tab button of a simulated browser window lie,
// and what a click hits.
class TabStripLayout {
public:
    static constexpr int kHeight = 30;
    static constexpr int kNewTabWidth = 30;
    static constexpr int kMaximumTabWidth = 240;
    static constexpr int kCloseSize = 14;
    static constexpr int kCloseInset = 8;

    struct Hit {
        enum Kind { none, tab, close, newTab };
        Kind kind = none;
        int index = -1;  // the tab, for `tab` and `close`
        bool operator==(const Hit &) const = default;
    };

    TabStripLayout(int width, int tabCount);

    int tabWidth() const { return tabWidth_; }
    // Narrow tabs have no room for a close mark beside the title.
    bool showsCloseMarks() const { return tabWidth_ >= 2 * (kCloseSize + kCloseInset); }
    QRect tabRect(int index) const;
    QRect closeRect(int index) const;
    QRect newTabRect() const;
    Hit hitTest(QPoint point) const;

private:
    int tabCount_;
    int tabWidth_;
};

}  // namespace ondrake
