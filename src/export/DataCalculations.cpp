#include "export/DataCalculations.h"

#include "core/Errors.h"
#include "document/Digitizations.h"

#include <cmath>

namespace korvane {

void TBinaryOperation::Range(const TLine& Left, const TLine* Right, std::int32_t& From,
                             std::int32_t& To) {
    if (Right) {
        From = To = -1;
        Left.OverlapRange(*Right, From, To);
    } else {
        From = 0;
        To = Left.Count() - 1;
    }
}

double TBinaryOperation::RightAt(double X) const {
    return FRightApproximator ? FRightApproximator->Evaluate(X) : 0.0;
}

void TBinaryOperation::ComputePoints(const TLine& Left, const TLine* Right,
                                     TDoublePointArray& Output) {
    std::int32_t From = -1, To = -1;
    Range(Left, Right, From, To);
    if (From < 0 || To < 0 || To < From)
        return;
    for (std::int32_t I = From; I <= To; ++I) {
        const TDoublePoint L = Left.GetPoint(I);
        const TDoublePoint R{L.X, RightAt(L.X)};
        Output.Add({L.X, Combine(L, R)});
    }
}

void TBinaryOperation::Execute(const TLine& Left, const TLine* Right, TDoublePointArray& Output) {
    struct TRelease {
        std::unique_ptr<TNonParametricCurveApproximator>& Approximator;
        ~TRelease() { Approximator.reset(); }
    } Release{FRightApproximator};
    if (Right) {
        std::unique_ptr<TCurveApproximator> A = RightApproximatorClass.Create(Right->Points());
        FRightApproximator.reset(dynamic_cast<TNonParametricCurveApproximator*>(A.release()));
        Assert(FRightApproximator != nullptr, "TBinaryOperation.Execute");
        FRightApproximator->Recompute();
    }
    // Compute into a scratch array: a result that is not a finite number appends nothing.
    TDoublePointArray Result(Output.GrowthStep());
    ComputePoints(Left, Right, Result);
    for (std::int32_t I = 0; I < Result.Count(); ++I)
        if (!std::isfinite(Result[I].Y))
            throw EMathError("The calculation gives no finite value at X = " +
                             std::to_string(Result[I].X) + ".");
    if (Result.Count() > 0)
        Output.AppendRange(Result, 0, Result.Count() - 1);
}

void TIntegrationOperation::ComputePoints(const TLine& Left, const TLine* Right,
                                          TDoublePointArray& Output) {
    std::int32_t From = -1, To = -1;
    Range(Left, Right, From, To);
    if (From < 0 || To < 0 || To < From)
        return;
    TDoublePoint PreviousLeft = Left.GetPoint(From);
    TDoublePoint PreviousRight{PreviousLeft.X, RightAt(PreviousLeft.X)};
    Output.Add({PreviousLeft.X, 0.0});
    double Area = 0.0;
    for (std::int32_t I = From + 1; I <= To; ++I) {
        const TDoublePoint CurrentLeft = Left.GetPoint(I);
        const TDoublePoint CurrentRight{CurrentLeft.X, RightAt(CurrentLeft.X)};
        Area += TrapezoidArea(PreviousLeft, PreviousRight, CurrentRight, CurrentLeft);
        Output.Add({CurrentLeft.X, Area});
        PreviousLeft = CurrentLeft;
        PreviousRight = CurrentRight;
    }
}

double TIntegrationOperation::TrapezoidArea(TDoublePoint PreviousLeft, TDoublePoint PreviousRight,
                                            TDoublePoint CurrentRight, TDoublePoint CurrentLeft) {
    return ((CurrentLeft.Y - CurrentRight.Y) + (PreviousLeft.Y - PreviousRight.Y)) *
           (CurrentLeft.X - PreviousLeft.X) / 2;
}

const std::vector<std::unique_ptr<TBinaryOperationInstance>>& OperationInstances() {
    static const std::vector<std::unique_ptr<TBinaryOperationInstance>> Instances = [] {
        std::vector<std::unique_ptr<TBinaryOperationInstance>> List;
        List.push_back(std::make_unique<TAdditionOperationInstance>());
        List.push_back(std::make_unique<TSubtractionOperationInstance>());
        List.push_back(std::make_unique<TArithmeticMeanOperationInstance>());
        List.push_back(std::make_unique<TIntegrationOperationInstance>());
        return List;
    }();
    return Instances;
}

std::string CalculationResultName(const std::string& First, const TDataOperation& Operation,
                                  const std::string& Second) {
    return First + " " + Operation.OperationSymbol() + " " + Second;
}

} // namespace korvane
