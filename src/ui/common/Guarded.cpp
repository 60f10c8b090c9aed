#include "ui/common/Guarded.h"

#include <cstdio>

namespace korvane {

namespace {

std::function<void(const std::exception&)>& Handler() {
    static std::function<void(const std::exception&)> Instance;
    return Instance;
}

} // namespace

void ShowException(const std::exception& Error) {
    if (Handler()) {
        try {
            Handler()(Error);
            return;
        } catch (const std::exception& Other) {
            std::fprintf(stderr, "korvane: %s\n", Other.what());
        }
    }
    std::fprintf(stderr, "korvane: %s\n", Error.what());
}

void SetExceptionHandler(std::function<void(const std::exception&)> Value) {
    Handler() = std::move(Value);
}

} // namespace korvane
