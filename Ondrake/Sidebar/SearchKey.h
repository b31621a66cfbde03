#pragma once

#include <optional>

namespace ondrake {

// The keys the search field and the palette act on; every other key types.
enum class SearchKey { previous, next, activate, escape };

std::optional<SearchKey> searchKey(int qtKey);

}  // namespace ondrake
