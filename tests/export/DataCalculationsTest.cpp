#include "export/DataCalculations.h"

#include "core/Errors.h"
#include "document/Digitizations.h"

#include <gtest/gtest.h>

using namespace korvane;

namespace {

std::unique_ptr<TFunctionalLine> Line(const std::string& Name, double X0, double Step, int N,
                                      double (*F)(double)) {
    auto L = std::make_unique<TFunctionalLine>(Name);
    TDoublePointArray P;
    for (int I = 0; I < N; ++I)
        P.Add({X0 + I * Step, F(X0 + I * Step)});
    L->SetPoints(P);
    return L;
}

TDoublePointArray Calculate(TBinaryOperation&& Operation, const TLine& Left, const TLine* Right) {
    TDoublePointArray Output;
    Operation.Execute(Left, Right, Output);
    return Output;
}

} // namespace

TEST(DataCalculations, OperationsInOrderWithTheirNames) {
    const auto& Instances = OperationInstances();
    ASSERT_EQ(Instances.size(), 4u);
    const char* Names[] = {"plus", "minus", "averaged with", "integrated over"};
    const char* Symbols[] = {"+", "-", "averaged with", "integrated over"};
    for (std::size_t I = 0; I < 4; ++I) {
        const auto Operation = Instances[I]->CreateOperation();
        EXPECT_EQ(Operation->OperationName(), Names[I]);
        EXPECT_EQ(Operation->OperationSymbol(), Symbols[I]);
    }
    EXPECT_EQ(CalculationResultName("Run 1", TAdditionOperation(), "Run 2"), "Run 1 + Run 2");
    EXPECT_EQ(CalculationResultName("A", TArithmeticMeanOperation(), "B"), "A averaged with B");
    EXPECT_EQ(CalculationResultName("A", TIntegrationOperation(), "B"), "A integrated over B");
}

TEST(DataCalculations, CombinesOverTheSharedRangeOnly) {
    const auto A = Line("A", 0, 1, 11, [](double X) { return 2 * X; });
    const auto B = Line("B", 5, 0.5, 31, [](double X) { return X + 1; }); // 5 .. 20
    const TDoublePointArray Sum = Calculate(TAdditionOperation(), *A, B.get());
    ASSERT_EQ(Sum.Count(), 6);
    for (int I = 0; I < 6; ++I) {
        EXPECT_DOUBLE_EQ(Sum[I].X, 5 + I);
        EXPECT_NEAR(Sum[I].Y, 2 * (5 + I) + (5 + I) + 1, 1e-9); // a spline reproduces a line
    }
    const TDoublePointArray Mean = Calculate(TArithmeticMeanOperation(), *A, B.get());
    EXPECT_NEAR(Mean[0].Y, (10 + 6) / 2.0, 1e-9);

    const TDoublePointArray Self = Calculate(TSubtractionOperation(), *A, A.get());
    ASSERT_EQ(Self.Count(), 11);
    for (int I = 0; I < Self.Count(); ++I)
        EXPECT_NEAR(Self[I].Y, 0.0, 1e-12);

    // Lines that only touch do not overlap: nothing at all.
    const auto Touching = Line("T", 10, 1, 5, [](double X) { return X; });
    EXPECT_EQ(Calculate(TAdditionOperation(), *A, Touching.get()).Count(), 0);
    // Without a right line, every point of the left one with the right value 0.
    EXPECT_EQ(Calculate(TSubtractionOperation(), *A, nullptr).Count(), 11);
}

TEST(DataCalculations, IntegrationIsTheRunningTrapezoidOfTheDifference) {
    const auto A = Line("A", 0, 0.5, 9, [](double X) { return X * X; });
    const auto Lower = Line("B", 0, 0.5, 9, [](double X) { return X * X - 1; });
    const TDoublePointArray Zero = Calculate(TIntegrationOperation(), *A, A.get());
    ASSERT_EQ(Zero.Count(), 9);
    for (int I = 0; I < 9; ++I)
        EXPECT_NEAR(Zero[I].Y, 0.0, 1e-12);
    const TDoublePointArray Distance = Calculate(TIntegrationOperation(), *A, Lower.get());
    for (int I = 0; I < 9; ++I)
        EXPECT_NEAR(Distance[I].Y, Distance[I].X - Distance[0].X, 1e-9) << I;
    EXPECT_DOUBLE_EQ(TIntegrationOperation::TrapezoidArea({0, 3}, {0, 1}, {2, 0}, {2, 4}), 6.0);
}

TEST(DataCalculations, ResultsThatOverflowAreRefused) {
    const auto Huge = Line("H", 0, 1, 5, [](double) { return 1.7e308; });
    TDoublePointArray Output;
    EXPECT_THROW(TAdditionOperation().Execute(*Huge, Huge.get(), Output), EMathError);
    EXPECT_EQ(Output.Count(), 0);
}
