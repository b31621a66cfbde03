#pragma once

#include <cstdint>

namespace ondrake::bench {

// The most heap that a stretch of code held at once beyond what was held when it began, in bytes
// as the allocator hands them out. This program replaces the C allocator to count; counting runs
// only while a HeapPeak lives, and only one may live at a time.
class HeapPeak {
public:
    HeapPeak();
    ~HeapPeak();
    HeapPeak(const HeapPeak &) = delete;
    HeapPeak &operator=(const HeapPeak &) = delete;

    std::int64_t bytes() const;
};

}  // namespace ondrake::bench
