// The transforms over a list of 1,000,000 lines beside sed -E running the
// same expression over the same text.
#pragma once

namespace quil::bench {

void BenchTransforms(int lines);

}  // namespace quil::bench
