#pragma once
// The run's progress bar. Its Max and Position are 16-bit values: a longer
// list keeps only the low 16 bits. Like the desktop's bar, the position
// stays within 0..Max, and a Max of 0 shows an empty bar (Qt would show a
// busy indicator for the range 0..0).

#include <cstdint>

class QProgressBar;

namespace quorvant {

class BatchProgress {
public:
    explicit BatchProgress(QProgressBar& bar) : bar_(bar) {}

    void setMax(uint32_t value);
    void setPosition(uint32_t value);
    uint16_t max() const { return max_; }
    uint16_t position() const { return position_; }

private:
    void show();

    QProgressBar& bar_;
    uint16_t max_ = 100;
    uint16_t position_ = 0;
};

}  // namespace quorvant
