#include "core/Errors.h"

namespace korvane {

void Assert(bool Condition, const char* Text) {
    if (!Condition)
        throw EAssertion(Text);
}

} // namespace korvane
