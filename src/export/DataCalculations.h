#pragma once

#include "core/DoublePoints.h"
#include "output/CurveApproximators.h"

#include <memory>
#include <string>
#include <vector>

namespace korvane {

class TLine;

// An operation that builds the points of a new functional line from existing lines.
class TDataOperation {
public:
    virtual ~TDataOperation() = default;
    // The text of the operation box ("plus") and the symbol in the new line's name ("+").
    virtual std::string OperationName() const = 0;
    virtual std::string OperationSymbol() const = 0;
};

// Combines a left line with a right line evaluated at the left line's X values through a
// natural cubic spline over the right line's digitized points, within the X range both share.
class TBinaryOperation : public TDataOperation {
public:
    const TApproximatorClassInfo& RightApproximatorClass = TCubicSpline::Class();

    virtual double Combine(TDoublePoint Left, TDoublePoint Right) const = 0;
    // Appends one point per left point of the overlap to Output (nothing without overlap).
    virtual void ComputePoints(const TLine& Left, const TLine* Right, TDoublePointArray& Output);
    // The right approximator exists only while this runs. Throws EMathError when a result
    // is not a finite number (nothing is appended to Output then).
    void Execute(const TLine& Left, const TLine* Right, TDoublePointArray& Output);

protected:
    // 0 and the last index without a right line; else the line's overlap, -1 for none.
    static void Range(const TLine& Left, const TLine* Right, std::int32_t& From, std::int32_t& To);
    // Right's value at X (0 without a right line).
    double RightAt(double X) const;

private:
    std::unique_ptr<TNonParametricCurveApproximator> FRightApproximator;
};

class TAdditionOperation : public TBinaryOperation {
public:
    std::string OperationName() const override { return "plus"; }
    std::string OperationSymbol() const override { return "+"; }
    double Combine(TDoublePoint L, TDoublePoint R) const override { return L.Y + R.Y; }
};

class TSubtractionOperation : public TBinaryOperation {
public:
    std::string OperationName() const override { return "minus"; }
    std::string OperationSymbol() const override { return "-"; }
    double Combine(TDoublePoint L, TDoublePoint R) const override { return L.Y - R.Y; }
};

class TArithmeticMeanOperation : public TBinaryOperation {
public:
    std::string OperationName() const override { return "averaged with"; }
    std::string OperationSymbol() const override { return "averaged with"; }
    double Combine(TDoublePoint L, TDoublePoint R) const override { return (L.Y + R.Y) / 2; }
};

// The running trapezoid integral of left minus right from the start of the overlap.
class TIntegrationOperation : public TBinaryOperation {
public:
    std::string OperationName() const override { return "integrated over"; }
    std::string OperationSymbol() const override { return "integrated over"; }
    double Combine(TDoublePoint, TDoublePoint) const override { return 0; }
    void ComputePoints(const TLine& Left, const TLine* Right, TDoublePointArray& Output) override;
    static double TrapezoidArea(TDoublePoint PreviousLeft, TDoublePoint PreviousRight,
                                TDoublePoint CurrentRight, TDoublePoint CurrentLeft);
};

// Makes operations of one class; the calculation dialog offers these.
class TDataOperationInstance {
public:
    virtual ~TDataOperationInstance() = default;
    virtual std::unique_ptr<TDataOperation> CreateOperation() const = 0;
    std::string OperationName() const { return CreateOperation()->OperationName(); }
};

class TBinaryOperationInstance : public TDataOperationInstance {
public:
    std::unique_ptr<TDataOperation> CreateOperation() const override { return CreateBinary(); }
    virtual std::unique_ptr<TBinaryOperation> CreateBinary() const = 0;
};

template <class T> class TBinaryOperationInstanceOf : public TBinaryOperationInstance {
public:
    std::unique_ptr<TBinaryOperation> CreateBinary() const override {
        return std::make_unique<T>();
    }
};

using TAdditionOperationInstance = TBinaryOperationInstanceOf<TAdditionOperation>;
using TSubtractionOperationInstance = TBinaryOperationInstanceOf<TSubtractionOperation>;
using TArithmeticMeanOperationInstance = TBinaryOperationInstanceOf<TArithmeticMeanOperation>;
using TIntegrationOperationInstance = TBinaryOperationInstanceOf<TIntegrationOperation>;

// Addition, subtraction, arithmetic mean and integration, in that order.
const std::vector<std::unique_ptr<TBinaryOperationInstance>>& OperationInstances();

// The new line's name: "A + B", "A integrated over B".
std::string CalculationResultName(const std::string& First, const TDataOperation& Operation,
                                  const std::string& Second);

} // namespace korvane
