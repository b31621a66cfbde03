#include "Ondrake/Sidebar/SearchKey.h"

#include <Qt>

namespace ondrake {

std::optional<SearchKey> searchKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Up: return SearchKey::previous;
    case Qt::Key_Down: return SearchKey::next;
    case Qt::Key_Return:
    case Qt::Key_Enter: return SearchKey::activate;
    case Qt::Key_Escape: return SearchKey::escape;
    default: return std::nullopt;
    }
}

}  // namespace ondrake
