// Counts the bytes the process holds through operator new, so that a phase
// can report the most it held at once beyond what was held when it began.
#pragma once

#include <cstddef>

namespace bench {

class HeapPeak {
public:
    // Starts a measurement: the peak restarts at what is held now.
    HeapPeak();
    // The most held at once since the start, minus what was held then.
    std::size_t BytesAboveStart() const;

private:
    std::size_t start_;
};

}  // namespace bench
