#pragma once
// What the batch window reads from the main window: the target format its
// selectors describe and whether the output folder is opened afterwards.

#include "wave/wave_format.h"

namespace quorvant {

class TargetSelectors {
public:
    virtual ~TargetSelectors() = default;
    virtual WAVEFORMATEX selectedTargetFormat() const = 0;
    virtual bool opensFolderAfterConversion() const = 0;
};

}  // namespace quorvant
