#include "core/DoublePoints.h"
#include "core/Errors.h"
#include "core/Formats.h"
#include "core/Interfaces.h"

#include <gtest/gtest.h>

using namespace korvane;

namespace {

struct IGreeter {
    virtual ~IGreeter() = default;
    virtual int Greet() = 0;
};

class TGreeter : public TUnmanagedInterface, public IGreeter {
public:
    int Greet() override { return 1; }
};

class TSilent : public TUnmanagedInterface {};

} // namespace

TEST(Persistent, AssignAcrossUnrelatedClassesFails) {
    TDoublePointArray Points;
    TCoordFormat Format;
    try {
        Points.Assign(Format);
        FAIL();
    } catch (const EConvertError& E) {
        EXPECT_STREQ(E.what(), "Cannot assign a TCoordFormat to a TDoublePointArray.");
    }
}

TEST(Persistent, SupportsInterfaceAsksTheObject) {
    TGreeter Greeter;
    TSilent Silent;
    IGreeter* Found = nullptr;
    EXPECT_TRUE(SupportsInterface<IGreeter>(static_cast<TUnmanagedInterface*>(&Greeter), &Found));
    EXPECT_EQ(Found->Greet(), 1);
    EXPECT_FALSE(SupportsInterface<IGreeter>(static_cast<TUnmanagedInterface*>(&Silent), &Found));
    EXPECT_EQ(Found, nullptr);
}
