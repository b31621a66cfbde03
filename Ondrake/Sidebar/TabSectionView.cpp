#include "Ondrake/Sidebar/TabSectionView.h"

namespace ondrake {

SidebarHeading TabSectionView::heading(bool compact) const {
    const QString count = QString::number(section.rows.size());
    SidebarHeading heading;
    heading.title = section.title;
    heading.titleSize = compact ? 9 : 11;
    heading.minimumScaleFactor = compact ? 0.7 : 1;
    if (!compact) heading.count = count;
    heading.height = kHeadingHeight;
    heading.horizontalPadding = compact ? 2 : 8;
    heading.centred = compact;
    heading.accessibilityLabel = section.title + QStringLiteral(", ") + count + QStringLiteral(" tabs");
    return heading;
}

}  // namespace ondrake
