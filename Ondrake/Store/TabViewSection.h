#pragma once

#include "Browser/TabTreeRow.h"

#include <QString>

#include <vector>

namespace ondrake {

// One heading of a flat arrangement and its tabs, each as a flat row.
struct TabViewSection {
    QString id;  // stable within one arrangement
    QString title;
    std::vector<TabTreeRow> rows;

    bool operator==(const TabViewSection &) const = default;
};

}  // namespace ondrake
