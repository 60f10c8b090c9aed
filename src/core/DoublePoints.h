#pragma once

#include "core/Persistent.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvane {

class TStream;

// A pixel position or offset: column grows to the right, row downwards.
struct TLongintPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    friend bool operator==(const TLongintPoint&, const TLongintPoint&) = default;
};

// A real-valued point: a sub-pixel position or a chart value.
struct TDoublePoint {
    double X = 0.0;
    double Y = 0.0;
    friend bool operator==(const TDoublePoint&, const TDoublePoint&) = default;
};

// One text per axis (the units of the two axes, for instance).
struct TStringPoint {
    std::string X;
    std::string Y;
    friend bool operator==(const TStringPoint&, const TStringPoint&) = default;
};

inline TLongintPoint LongintPoint(std::int32_t X, std::int32_t Y) {
    return {X, Y};
}
inline TDoublePoint DoublePoint(double X, double Y) {
    return {X, Y};
}
inline TStringPoint StringPoint(std::string X, std::string Y) {
    return {std::move(X), std::move(Y)};
}

double PointDistance(TLongintPoint A, TLongintPoint B);
TLongintPoint PointSum(TLongintPoint A, TLongintPoint B);
TLongintPoint PointDifference(TLongintPoint A, TLongintPoint B);
TLongintPoint PointScaled(TLongintPoint A, std::int32_t K);
double PointLength(TLongintPoint A);
// The one of the eight neighbour offsets that points most nearly along A; (1, 0) for (0, 0).
TLongintPoint UnitStep(TLongintPoint A);

double DoublePointDistance(TDoublePoint A, TDoublePoint B);

// Crossing-number test of P against the quadrangle Corners[0..3] taken in order.
bool PointInQuadrangle(TDoublePoint P, const std::array<TDoublePoint, 4>& Corners);

// Point records: X then Y.
void WritePoint(TStream& Stream, TLongintPoint P);
TLongintPoint ReadLongintPoint(TStream& Stream);
void WritePoint(TStream& Stream, TDoublePoint P);
TDoublePoint ReadDoublePoint(TStream& Stream);

// An ordered, growable array of real points. It grows by GrowthStep points at a time and
// never shrinks except on Clear. Index errors throw EListError
// "TDoublePointArray: Index out of bounds." and leave the array unchanged.
class TDoublePointArray : public TPersistent {
public:
    static constexpr std::int32_t DefaultGrowthStep = 50;

    explicit TDoublePointArray(std::int32_t GrowthStep = DefaultGrowthStep);
    TDoublePointArray(const TDoublePointArray& Source);
    TDoublePointArray& operator=(const TDoublePointArray& Source);
    ~TDoublePointArray() override;

    std::int32_t Count() const { return FCount; }
    std::int32_t Capacity() const { return FCapacity; }
    std::int32_t GrowthStep() const { return FGrowthStep; }
    // Direct read access to the FCount points.
    const TDoublePoint* Data() const { return FData; }

    TDoublePoint GetPoint(std::int32_t Index) const;
    TDoublePoint operator[](std::int32_t Index) const { return GetPoint(Index); }
    TDoublePoint First() const { return GetPoint(0); }
    TDoublePoint Last() const { return GetPoint(FCount - 1); }

    void Add(TDoublePoint Point);
    void Clear();
    void Delete(std::int32_t Index);
    void DeleteRange(std::int32_t FromIndex, std::int32_t ToIndex);
    // Indices ascending, each once, in the numbering before the call.
    void DeleteIndices(const std::vector<std::int32_t>& List);
    void AppendRange(const TDoublePointArray& Source, std::int32_t FromIndex, std::int32_t ToIndex);

    void Assign(const TPersistent& Source) override;

    void SortAscendingX();
    void SortDescendingX();
    void SortAscendingY();
    void SortDescendingY();

    // Scanning from the last point back, the first index closer to Point than Radius; -1 if none.
    std::int32_t LastIndexWithin(TDoublePoint Point, double Radius) const;

    // Record: Count (32-bit) then Count points. A negative count or a short stream throws,
    // leaving the array empty.
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) const;

private:
    void CheckIndex(std::int32_t Index) const;
    void Reallocate(std::int32_t NewCapacity);
    template <class Compare> void HeapSort(Compare Cmp);

    // malloc'd so that growing can use realloc, which moves large blocks without copying.
    TDoublePoint* FData = nullptr;
    std::int32_t FCount = 0;
    std::int32_t FCapacity = 0;
    std::int32_t FGrowthStep = DefaultGrowthStep;
};

} // namespace korvane
