#include "document/PointSelections.h"

#include "core/Errors.h"
#include "core/Streams.h"
#include "output/CurveApproximators.h"

#include <algorithm>
#include <unordered_set>

namespace korvane {

void TPointSelection::NotifyListeners() {
    // A listener may leave the list while being told; those that left are not called.
    const std::vector<ISelectionListener*> Snapshot = FListeners;
    for (ISelectionListener* Listener : Snapshot)
        if (HasListener(Listener))
            Listener->SelectionChanged(*this);
}

void TPointSelection::AddListener(ISelectionListener* Listener) {
    if (Listener && !HasListener(Listener))
        FListeners.push_back(Listener);
}

void TPointSelection::RemoveListener(ISelectionListener* Listener) {
    const auto It = std::find(FListeners.begin(), FListeners.end(), Listener);
    if (It != FListeners.end())
        FListeners.erase(It);
}

bool TPointSelection::HasListener(const ISelectionListener* Listener) const {
    return std::find(FListeners.begin(), FListeners.end(), Listener) != FListeners.end();
}

void TPointSelection::EnsureSorted() const {
    if (!FSorted) {
        std::sort(FItems.begin(), FItems.end());
        FSorted = true;
    }
}

void TPointSelection::Sort() {
    std::sort(FItems.begin(), FItems.end());
    FSorted = true;
}

std::int32_t TPointSelection::Bisect(std::int32_t Index, bool& Found) const {
    EnsureSorted();
    std::int32_t Lo = 0;
    std::int32_t Hi = Count() - 1;
    while (Hi >= Lo) {
        const std::int32_t Mid = Lo + (Hi - Lo) / 2;
        if (FItems[Mid] < Index)
            Lo = Mid + 1;
        else if (FItems[Mid] == Index) {
            Found = true;
            return Mid;
        } else
            Hi = Mid - 1;
    }
    Found = false;
    return Lo;
}

std::int32_t TPointSelection::Items(std::int32_t I) const {
    if (I < 0 || I >= Count())
        throw EListError("List index out of bounds (" + std::to_string(I) + ").");
    EnsureSorted();
    return FItems[I];
}

const std::vector<std::int32_t>& TPointSelection::SortedItems() const {
    EnsureSorted();
    return FItems;
}

bool TPointSelection::IsSelected(std::int32_t Index) const {
    bool Found = false;
    Bisect(Index, Found);
    return Found;
}

std::int32_t TPointSelection::IndexOf(std::int32_t Index) const {
    bool Found = false;
    const std::int32_t Position = Bisect(Index, Found);
    return Found ? Position : -1;
}

std::int32_t TPointSelection::LowerBound(std::int32_t Index) const {
    bool Found = false;
    return Bisect(Index, Found);
}

std::int32_t TPointSelection::LastSelected() const {
    if (FItems.empty())
        return -1;
    EnsureSorted();
    return FItems.back();
}

std::int32_t TPointSelection::RunEnd(std::int32_t A) const {
    const std::int32_t Last = LastSelected();
    if (A >= Last)
        return A;
    // The indices after A's position ascend strictly, so the run continues while each one is
    // the previous plus one.
    std::int32_t End = A;
    for (std::int32_t P = LowerBound(A + 1); P < Count() && FItems[P] == End + 1; ++P)
        ++End;
    return End;
}

std::int32_t TPointSelection::TrailingRunStart(std::int32_t N) const {
    if (N <= 0)
        return N < 0 ? N : 0;
    std::int32_t Start = N;
    bool Found = false;
    std::int32_t P = Bisect(N - 1, Found);
    if (!Found)
        return N;
    while (P >= 0 && Start > 0 && FItems[P] == Start - 1) {
        --Start;
        --P;
    }
    return Start;
}

void TPointSelection::Select(std::int32_t Index) {
    if (IsSelected(Index)) // sorts
        return;
    FItems.push_back(Index);
    FSorted = FItems.size() < 2 || FItems[FItems.size() - 2] < Index;
    NotifyListeners();
}

void TPointSelection::Deselect(std::int32_t Index) {
    bool Found = false;
    const std::int32_t Position = Bisect(Index, Found);
    if (Found)
        FItems.erase(FItems.begin() + Position);
    NotifyListeners();
}

void TPointSelection::SelectRange(std::int32_t A, std::int32_t B) {
    if (B < A)
        std::swap(A, B);
    EnsureSorted();
    // Walk the range and the sorted items together; the range is counted in 64 bits so that
    // A..B spanning the whole 32-bit range cannot overflow.
    const std::int64_t RangeCount = static_cast<std::int64_t>(B) - A + 1;
    const std::size_t Old = FItems.size();
    const auto First = std::lower_bound(FItems.begin(), FItems.end(), A);
    const auto Last = std::upper_bound(First, FItems.end(), B);
    const std::int64_t Present = Last - First;
    std::vector<std::int32_t> Existing(First, Last);
    FItems.reserve(Old + static_cast<std::size_t>(RangeCount - Present));
    std::size_t E = 0;
    for (std::int64_t V = A; V <= B; ++V) {
        if (E < Existing.size() && Existing[E] == V) {
            ++E;
            continue;
        }
        FItems.push_back(static_cast<std::int32_t>(V));
    }
    FSorted = false;
    NotifyListeners();
}

void TPointSelection::RemoveMarked(const std::vector<bool>& Marked) {
    std::size_t Out = 0;
    for (std::size_t In = 0; In < FItems.size(); ++In)
        if (!Marked[In])
            FItems[Out++] = FItems[In];
    FItems.resize(Out);
}

void TPointSelection::DeselectRange(std::int32_t A, std::int32_t B) {
    if (FItems.empty())
        return;
    if (B < A)
        std::swap(A, B);
    EnsureSorted();
    const auto First = std::lower_bound(FItems.begin(), FItems.end(), A);
    const auto Last = std::upper_bound(First, FItems.end(), B);
    FItems.erase(First, Last);
    NotifyListeners();
}

void TPointSelection::SelectList(const std::vector<std::int32_t>& List) {
    EnsureSorted();
    const std::size_t Old = FItems.size();
    FItems.reserve(Old + List.size());
    std::unordered_set<std::int32_t> Added;
    for (const std::int32_t Index : List) {
        if (std::binary_search(FItems.begin(), FItems.begin() + Old, Index))
            continue;
        // The list is meant to hold distinct indices; a repeat is taken once all the same.
        if (!Added.insert(Index).second)
            continue;
        FItems.push_back(Index);
    }
    FSorted = false;
    NotifyListeners();
}

void TPointSelection::DeselectList(const std::vector<std::int32_t>& List) {
    EnsureSorted();
    std::vector<bool> Marked(FItems.size(), false);
    bool Any = false;
    for (const std::int32_t Index : List) {
        bool Found = false;
        const std::int32_t Position = Bisect(Index, Found);
        if (Found) {
            Marked[Position] = true;
            Any = true;
        }
    }
    if (Any)
        RemoveMarked(Marked);
    NotifyListeners();
}

void TPointSelection::TruncateAt(std::int32_t N) {
    if (FItems.empty())
        return;
    if (N < 0)
        N = 0;
    FItems.resize(LowerBound(N));
    NotifyListeners();
}

void TPointSelection::Clear() {
    FItems.clear();
    FSorted = true;
    NotifyListeners();
}

void TPointSelection::Assign(const TPersistent& Source) {
    if (const auto* Other = dynamic_cast<const TPointSelection*>(&Source)) {
        if (Other != this) {
            FItems = Other->FItems;
            FSorted = Other->FSorted;
        }
        NotifyListeners();
        return;
    }
    TPersistent::Assign(Source);
}

void TPointSelection::LoadFromStream(TStream& Stream) {
    Clear();
    const std::int32_t N = ReadInt32(Stream);
    const std::int64_t Left = Stream.Size() - Stream.Position();
    if (N < 0 || static_cast<std::int64_t>(N) * 4 > Left)
        throw EReadError("Corrupted selection count in stream.");
    std::vector<std::int32_t> Items(static_cast<std::size_t>(N));
    for (std::int32_t& Index : Items)
        Index = ReadInt32(Stream);
    FItems = std::move(Items);
    // A damaged record may hold an index twice or out of order; the selection keeps each
    // index once and sorts before the next search.
    std::sort(FItems.begin(), FItems.end());
    FItems.erase(std::unique(FItems.begin(), FItems.end()), FItems.end());
    FSorted = true;
}

void TPointSelection::SaveToStream(TStream& Stream) const {
    EnsureSorted();
    WriteInt32(Stream, Count());
    for (const std::int32_t Index : FItems)
        WriteInt32(Stream, Index);
}

// --- TSelectionIterator

TSelectionIterator::TSelectionIterator(std::unique_ptr<TCurveIterator> Inner,
                                       const TPointSelection& Selection)
    : TCurveIterator(Inner->Approximator()), FInner(std::move(Inner)), FSelection(&Selection) {
    Approximator().Recompute();
    First();
}

void TSelectionIterator::SetPosition(std::int32_t Value) {
    FPosition = Value;
    if (!IsDone())
        FInner->MoveTo(FSelection->Items(FPosition));
}

void TSelectionIterator::Last() {
    SetPosition(FSelection->Count() - 1);
}

void TSelectionIterator::Prev() {
    if (FPosition > 0)
        SetPosition(FPosition - 1);
}

void TSelectionIterator::Next() {
    if (FPosition < FSelection->Count())
        SetPosition(FPosition + 1);
}

void TSelectionIterator::MoveTo(std::int32_t N) {
    if (N >= 0 && N < FSelection->Count())
        SetPosition(N);
}

bool TSelectionIterator::IsDone() const {
    // Position -1 is where Last leaves an empty selection: nothing to yield there either.
    return FPosition >= FSelection->Count() || FPosition < 0;
}

double TSelectionIterator::CurrentX() const {
    return FInner->CurrentX();
}

double TSelectionIterator::CurrentY() const {
    return FInner->CurrentY();
}

TDoublePoint TSelectionIterator::CurrentPoint() const {
    return FInner->CurrentPoint();
}

} // namespace korvane
