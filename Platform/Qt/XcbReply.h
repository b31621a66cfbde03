#pragma once

#include <cstdlib>
#include <memory>

namespace ondrake {

// A reply that xcb allocated for its caller, who frees it with free().
struct XcbFree {
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;

}  // namespace ondrake
