#include "WindowCascade.h"

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {

// One axis of the cascade: where the first window starts, the step to the next, and the size.
struct Span {
    int start = 0;
    int step = 0;
    int size = 0;
};

Span fit(double low, double high, int before, int after, int steps, int step, int preferred, int minimum) {
    const int first = int(std::ceil(low));
    const int length = std::max(int(std::floor(high)) - first, 0);
    const auto rest = [&](int taken) { return length - taken; };
    const int size = std::min(std::clamp(rest(before + after + steps * step), std::min(minimum, preferred), preferred), length);
    if (steps > 0) step = std::clamp(rest(before + after + size) / steps, 0, step);
    after = std::clamp(rest(before + size + steps * step), 0, after);
    before = std::clamp(rest(after + size + steps * step), 0, before);
    return {first + before, step, size};
}

}  // namespace

std::vector<QRectF> WindowCascade::windows(const QRectF &area, int count) const {
    if (count <= 0) return {};
    const int steps = count - 1;
    const auto across = fit(area.left(), area.right(), room.left(), room.right(), steps, step.width(),
                            preferredSize.width(), minimumSize.width());
    const auto down = fit(area.top(), area.bottom(), room.top(), room.bottom(), steps, step.height(),
                          preferredSize.height(), minimumSize.height());
    std::vector<QRectF> out;
    out.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        out.emplace_back(across.start + i * across.step, down.start + i * down.step, across.size, down.size);
    return out;
}

}  // namespace ondrake
