#pragma once

#include <benchmark/benchmark.h>

namespace ondrake::bench {

// The time an iteration spends on each of its `items`, shown beside the whole.
inline benchmark::Counter perItem(double items) {
    return benchmark::Counter(items, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace ondrake::bench
