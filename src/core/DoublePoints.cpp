#include "core/DoublePoints.h"

#include "core/Errors.h"
#include "core/Numerics.h"
#include "core/Streams.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace korvane {

double PointDistance(TLongintPoint A, TLongintPoint B) {
    const double DX = static_cast<double>(A.X) - B.X;
    const double DY = static_cast<double>(A.Y) - B.Y;
    return std::sqrt(DX * DX + DY * DY);
}

TLongintPoint PointSum(TLongintPoint A, TLongintPoint B) {
    return {A.X + B.X, A.Y + B.Y};
}

TLongintPoint PointDifference(TLongintPoint A, TLongintPoint B) {
    return {A.X - B.X, A.Y - B.Y};
}

TLongintPoint PointScaled(TLongintPoint A, std::int32_t K) {
    return {K * A.X, K * A.Y};
}

double PointLength(TLongintPoint A) {
    const double X = A.X;
    const double Y = A.Y;
    return std::sqrt(X * X + Y * Y);
}

TLongintPoint UnitStep(TLongintPoint A) {
    if (A.X == 0 && A.Y == 0)
        return {1, 0};
    const double L = PointLength(A);
    if (L > 1e-15) {
        TLongintPoint Step{Round(A.X / L), Round(A.Y / L)};
        if (Step.X == 0 && Step.Y == 0)
            return {1, 0};
        return Step;
    }
    return {1, 0};
}

double DoublePointDistance(TDoublePoint A, TDoublePoint B) {
    const double DX = A.X - B.X;
    const double DY = A.Y - B.Y;
    return std::sqrt(DX * DX + DY * DY);
}

bool PointInQuadrangle(TDoublePoint P, const std::array<TDoublePoint, 4>& Corners) {
    bool Inside = false;
    for (std::size_t K = 0, JIndex = 3; K < 4; JIndex = K++) {
        const TDoublePoint& I = Corners[K];
        const TDoublePoint& J = Corners[JIndex];
        // The division happens only when the edge is not horizontal.
        if (((I.Y <= P.Y && P.Y < J.Y) || (J.Y <= P.Y && P.Y < I.Y)) &&
            P.X < I.X + (J.X - I.X) * (P.Y - I.Y) / (J.Y - I.Y))
            Inside = !Inside;
    }
    return Inside;
}

void WritePoint(TStream& Stream, TLongintPoint P) {
    WriteInt32(Stream, P.X);
    WriteInt32(Stream, P.Y);
}

TLongintPoint ReadLongintPoint(TStream& Stream) {
    TLongintPoint P;
    P.X = ReadInt32(Stream);
    P.Y = ReadInt32(Stream);
    return P;
}

void WritePoint(TStream& Stream, TDoublePoint P) {
    WriteDouble(Stream, P.X);
    WriteDouble(Stream, P.Y);
}

TDoublePoint ReadDoublePoint(TStream& Stream) {
    TDoublePoint P;
    P.X = ReadDouble(Stream);
    P.Y = ReadDouble(Stream);
    return P;
}

// --- TDoublePointArray

TDoublePointArray::TDoublePointArray(std::int32_t GrowthStep)
    : FGrowthStep(std::max<std::int32_t>(GrowthStep, 1)) {}

TDoublePointArray::TDoublePointArray(const TDoublePointArray& Source)
    : TPersistent(), FGrowthStep(Source.FGrowthStep) {
    Reallocate(Source.FCount);
    std::copy_n(Source.FData, Source.FCount, FData);
    FCount = Source.FCount;
}

TDoublePointArray& TDoublePointArray::operator=(const TDoublePointArray& Source) {
    if (this != &Source) {
        TDoublePointArray Copy(Source);
        std::swap(FData, Copy.FData);
        std::swap(FCount, Copy.FCount);
        std::swap(FCapacity, Copy.FCapacity);
        FGrowthStep = Copy.FGrowthStep;
    }
    return *this;
}

TDoublePointArray::~TDoublePointArray() {
    std::free(FData);
}

void TDoublePointArray::CheckIndex(std::int32_t Index) const {
    if (Index < 0 || Index > FCount - 1)
        throw EListError("TDoublePointArray: Index out of bounds.");
}

void TDoublePointArray::Reallocate(std::int32_t NewCapacity) {
    if (NewCapacity == 0) {
        std::free(FData);
        FData = nullptr;
    } else {
        void* Grown =
            std::realloc(FData, sizeof(TDoublePoint) * static_cast<std::size_t>(NewCapacity));
        if (!Grown)
            throw std::bad_alloc();
        FData = static_cast<TDoublePoint*>(Grown);
    }
    FCapacity = NewCapacity;
}

TDoublePoint TDoublePointArray::GetPoint(std::int32_t Index) const {
    CheckIndex(Index);
    return FData[Index];
}

void TDoublePointArray::Add(TDoublePoint Point) {
    if (FCount == FCapacity) {
        if (FCapacity > std::numeric_limits<std::int32_t>::max() - FGrowthStep)
            throw EListError("TDoublePointArray: Too many points.");
        Reallocate(FCapacity + FGrowthStep);
    }
    FData[FCount++] = Point;
}

void TDoublePointArray::Clear() {
    FCount = 0;
    Reallocate(0);
}

void TDoublePointArray::Delete(std::int32_t Index) {
    CheckIndex(Index);
    std::memmove(&FData[Index], &FData[Index + 1],
                 sizeof(TDoublePoint) * static_cast<std::size_t>(FCount - Index - 1));
    --FCount;
}

void TDoublePointArray::DeleteRange(std::int32_t FromIndex, std::int32_t ToIndex) {
    CheckIndex(FromIndex);
    CheckIndex(ToIndex);
    if (ToIndex < FromIndex)
        return;
    std::memmove(&FData[FromIndex], &FData[ToIndex + 1],
                 sizeof(TDoublePoint) * static_cast<std::size_t>(FCount - ToIndex - 1));
    FCount -= ToIndex - FromIndex + 1;
}

void TDoublePointArray::DeleteIndices(const std::vector<std::int32_t>& List) {
    // Validate the whole list first so that a bad entry leaves the array as it was.
    std::int32_t Previous = -1;
    for (std::int32_t Index : List) {
        CheckIndex(Index);
        if (Index <= Previous)
            throw EListError("TDoublePointArray: Index out of bounds.");
        Previous = Index;
    }
    // Compact in one pass: every kept point moves down once.
    std::int32_t Write = List.empty() ? FCount : List.front();
    std::size_t Next = 0;
    for (std::int32_t Read = Write; Read < FCount; ++Read) {
        if (Next < List.size() && List[Next] == Read) {
            ++Next;
            continue;
        }
        FData[Write++] = FData[Read];
    }
    FCount = Write;
}

void TDoublePointArray::AppendRange(const TDoublePointArray& Source, std::int32_t FromIndex,
                                    std::int32_t ToIndex) {
    Source.CheckIndex(FromIndex);
    Source.CheckIndex(ToIndex);
    if (ToIndex < FromIndex)
        return;
    const std::int32_t N = ToIndex - FromIndex + 1;
    if (FCount > std::numeric_limits<std::int32_t>::max() - N)
        throw EListError("TDoublePointArray: Too many points.");
    if (FCount + N > FCapacity) {
        // Source may be this array: copy its points aside before the storage moves.
        const std::vector<TDoublePoint> Copied(Source.FData + FromIndex,
                                               Source.FData + FromIndex + N);
        Reallocate(FCount + N);
        std::copy(Copied.begin(), Copied.end(), FData + FCount);
    } else {
        std::memmove(&FData[FCount], Source.FData + FromIndex,
                     sizeof(TDoublePoint) * static_cast<std::size_t>(N));
    }
    FCount += N;
}

void TDoublePointArray::Assign(const TPersistent& Source) {
    if (auto* Other = dynamic_cast<const TDoublePointArray*>(&Source)) {
        *this = *Other;
        return;
    }
    TPersistent::Assign(Source);
}

// The heapsort the program has always used. It is not stable: the order of points with
// equal keys is part of what users see after sorting and must not change.
template <class Compare> void TDoublePointArray::HeapSort(Compare Cmp) {
    const std::int32_t N = FCount;
    if (N < 2)
        return;
    auto A = [this](std::int32_t Position) -> TDoublePoint& { return FData[Position - 1]; };
    std::int32_t L = N / 2 + 1;
    std::int32_t R = N;
    for (;;) {
        TDoublePoint T;
        if (L > 1) {
            --L;
            T = A(L);
        } else {
            T = A(R);
            A(R) = A(1);
            --R;
            if (R == 1) {
                A(1) = T;
                return;
            }
        }
        std::int32_t I = L;
        std::int32_t J = 2 * L;
        while (J <= R) {
            if (J < R && Cmp(A(J), A(J + 1)) < 0)
                ++J;
            if (Cmp(T, A(J)) < 0) {
                A(I) = A(J);
                I = J;
                J = 2 * J;
            } else {
                break;
            }
        }
        A(I) = T;
    }
}

namespace {

int Compare(double A, double B) {
    return A < B ? -1 : (A > B ? 1 : 0);
}

} // namespace

void TDoublePointArray::SortAscendingX() {
    HeapSort([](const TDoublePoint& A, const TDoublePoint& B) { return Compare(A.X, B.X); });
}

void TDoublePointArray::SortDescendingX() {
    HeapSort([](const TDoublePoint& A, const TDoublePoint& B) { return Compare(B.X, A.X); });
}

void TDoublePointArray::SortAscendingY() {
    HeapSort([](const TDoublePoint& A, const TDoublePoint& B) { return Compare(A.Y, B.Y); });
}

void TDoublePointArray::SortDescendingY() {
    HeapSort([](const TDoublePoint& A, const TDoublePoint& B) { return Compare(B.Y, A.Y); });
}

std::int32_t TDoublePointArray::LastIndexWithin(TDoublePoint Point, double Radius) const {
    for (std::int32_t I = FCount - 1; I >= 0; --I)
        if (DoublePointDistance(FData[I], Point) < Radius)
            return I;
    return -1;
}

void TDoublePointArray::LoadFromStream(TStream& Stream) {
    Clear();
    const std::int32_t N = ReadInt32(Stream);
    if (N < 0)
        throw EReadError("TDoublePointArray: Negative point count in stream.");
    // Read in bounded chunks so that a damaged count fails at the end of the stream
    // instead of asking for gigabytes first.
    constexpr std::int32_t Chunk = 65536;
    std::vector<TDoublePoint> Points;
    std::vector<unsigned char> Bytes;
    for (std::int32_t Done = 0; Done < N;) {
        const std::int32_t M = std::min(Chunk, N - Done);
        Bytes.resize(static_cast<std::size_t>(M) * 16);
        Stream.ReadBuffer(Bytes.data(), Bytes.size());
        TMemoryStream Block(std::move(Bytes));
        for (std::int32_t I = 0; I < M; ++I)
            Points.push_back(ReadDoublePoint(Block));
        Bytes = std::vector<unsigned char>();
        Done += M;
    }
    Reallocate(N);
    std::copy(Points.begin(), Points.end(), FData);
    FCount = N;
}

void TDoublePointArray::SaveToStream(TStream& Stream) const {
    WriteInt32(Stream, FCount);
    for (std::int32_t I = 0; I < FCount; ++I)
        WritePoint(Stream, FData[I]);
}

} // namespace korvane
