#pragma once
// The one-pass conversion: width, rate and channels together, straight into
// the result. It gives exactly the bytes of the staged stages.

#include <cstdint>

#include "convert/conversion_plan.h"

namespace quorvant {

// Fills output units [first, last) into `out` (which points at unit `first`).
// `source` holds source frame `sourceBase` at its start and every frame up to
// SourceFrameOf(plan, last - 1). The plan must be fusable and not an identity.
void RunFusedUnits(const ConversionPlan& plan, const uint8_t* source, uint64_t sourceBase, uint64_t first,
                   uint64_t last, uint8_t* out);

// Converts the plan's tail samples; `source` holds the source bytes from
// sample units × source channels on, `out` points just after the units.
void RunFusedTail(const ConversionPlan& plan, const uint8_t* source, uint8_t* out);

}  // namespace quorvant
