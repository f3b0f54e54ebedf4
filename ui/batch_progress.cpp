#include "ui/batch_progress.h"

#include <QProgressBar>
#include <algorithm>

namespace quorvant {

void BatchProgress::setMax(uint32_t value)
{
    max_ = uint16_t(value);
    position_ = std::min(position_, max_);
    show();
}

void BatchProgress::setPosition(uint32_t value)
{
    position_ = std::min(uint16_t(value), max_);
    show();
}

void BatchProgress::show()
{
    bar_.setRange(0, std::max<int>(max_, 1));
    bar_.setValue(position_);
}

}  // namespace quorvant
