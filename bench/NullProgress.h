// Progress lines that go nowhere: for a benchmark, where keeping millions of texts would be
// measured with the work.
#pragma once

#include "general/Progress.h"

#include <string_view>

namespace vantrell {

class NullProgress final : public ProgressSink {
public:
    void show(ProgressLine, std::string_view) override {}
};

} // namespace vantrell
