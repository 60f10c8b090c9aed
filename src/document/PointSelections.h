#pragma once

#include "core/Persistent.h"
#include "output/CurveIterators.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace korvane {

class TStream;
class TPointSelection;

// Watches a point selection. SelectionChanged is sent after each change, to every listener
// in registration order.
class ISelectionListener {
public:
    virtual ~ISelectionListener() = default;
    virtual void SelectionChanged(TPointSelection& Selection) = 0;
};

// The selected output points of one digitization: a set of indices (positions in the
// iterator of the digitization's parameter set, not necessarily in its point list).
//
// Appends are O(1) and may leave the indices unsorted; every operation that searches or
// reports positions sorts them first, so callers always see ascending order. Membership is
// answered by bisection. The indices are not checked against any point count: the owner
// keeps them in range with TruncateAt.
//
// Which operations notify: Select only when it appended; DeselectRange and TruncateAt only
// when the selection was not empty; Deselect, SelectRange, SelectList, DeselectList, Clear
// and Assign always; LoadFromStream once, through its Clear.
//
// Record: count (32-bit signed), then that many 32-bit signed indices in ascending order.
class TPointSelection : public TPersistent {
public:
    TPointSelection() = default;
    TPointSelection(const TPointSelection&) = delete;
    TPointSelection& operator=(const TPointSelection&) = delete;
    ~TPointSelection() override = default;

    void Select(std::int32_t Index);
    void Deselect(std::int32_t Index);
    // Selects every index of A..B (either order).
    void SelectRange(std::int32_t A, std::int32_t B);
    void DeselectRange(std::int32_t A, std::int32_t B);
    // Selects the indices of List, appended in List order; an index listed twice is taken once.
    void SelectList(const std::vector<std::int32_t>& List);
    void DeselectList(const std::vector<std::int32_t>& List);
    // Removes every index >= N (N below 0 counts as 0).
    void TruncateAt(std::int32_t N);
    void Clear();

    std::int32_t Count() const { return static_cast<std::int32_t>(FItems.size()); }
    // The I-th selected index in ascending order; EListError outside 0..Count - 1.
    std::int32_t Items(std::int32_t I) const;
    bool IsSelected(std::int32_t Index) const;
    // Position of Index among the ascending indices, or -1.
    std::int32_t IndexOf(std::int32_t Index) const;
    // Position of the first selected index >= Index (Count if none).
    std::int32_t LowerBound(std::int32_t Index) const;
    // The largest selected index, or -1 when the selection is empty.
    std::int32_t LastSelected() const;
    // The end of the run of consecutive selected indices that follows A: the largest
    // E <= LastSelected with A + 1 .. E all selected (A itself when A + 1 is not selected).
    std::int32_t RunEnd(std::int32_t A) const;
    // The start of the run of consecutive selected indices that ends at N - 1: the smallest
    // S <= N with S .. N - 1 all selected (N itself when N - 1 is not selected; never below 0).
    std::int32_t TrailingRunStart(std::int32_t N) const;
    // The selected indices in ascending order.
    const std::vector<std::int32_t>& SortedItems() const;

    // True while the stored indices ascend.
    bool Sorted() const { return FSorted; }
    void EnsureSorted() const;
    void Sort();

    // From another TPointSelection: copies its indices (listeners stay as they are).
    void Assign(const TPersistent& Source) override;

    // Clear (which notifies), then the record. A count that is negative or larger than the
    // rest of the stream allows throws EReadError and leaves the selection empty.
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) const;

    // Listeners are not owned; adding one twice keeps one entry.
    void AddListener(ISelectionListener* Listener);
    void RemoveListener(ISelectionListener* Listener);
    bool HasListener(const ISelectionListener* Listener) const;

private:
    void NotifyListeners();
    // Removes the entries of the sorted Items whose flag is set, keeping the order.
    void RemoveMarked(const std::vector<bool>& Marked);
    std::int32_t Bisect(std::int32_t Index, bool& Found) const;

    std::vector<ISelectionListener*> FListeners;
    mutable bool FSorted = true;
    mutable std::vector<std::int32_t> FItems;
};

// Restricts an iterator to the selected output rows. Positions 0 .. c - 1 are the c selected
// rows in ascending order; the inner iterator (owned) is moved to the row of the position.
// The selection is not owned and must outlive the iterator.
class TSelectionIterator : public TCurveIterator {
public:
    TSelectionIterator(std::unique_ptr<TCurveIterator> Inner, const TPointSelection& Selection);

    void First() override { SetPosition(0); }
    void Last() override;
    void Prev() override;
    void Next() override;
    // Only for 0 <= N < c; otherwise nothing happens.
    void MoveTo(std::int32_t N) override;
    bool IsDone() const override;
    double CurrentX() const override;
    double CurrentY() const override;
    TDoublePoint CurrentPoint() const override;

    std::int32_t Position() const { return FPosition; }
    TCurveIterator& Inner() const { return *FInner; }

private:
    void SetPosition(std::int32_t Value);

    std::unique_ptr<TCurveIterator> FInner;
    const TPointSelection* FSelection;
    std::int32_t FPosition = 0;
};

} // namespace korvane
