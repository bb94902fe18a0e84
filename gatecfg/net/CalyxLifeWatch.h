#pragma once
// Code that raises an event may outlive the object it runs for: the handler
// may destroy it. Such code puts a TLifeWatch on its stack and asks Gone()
// before it touches the object again; the object's TLifeWatchList marks
// every watch on it when the object is destroyed. Watches nest strictly, on
// the object's own thread.
#include <cassert>

namespace calyx {

class TLifeWatch;

class TLifeWatchList {
public:
    TLifeWatchList() = default;
    TLifeWatchList(const TLifeWatchList&) = delete;
    TLifeWatchList& operator=(const TLifeWatchList&) = delete;
    inline ~TLifeWatchList();

private:
    friend class TLifeWatch;
    TLifeWatch* FTop = nullptr;
};

class TLifeWatch {
public:
    // The list keeps the address of a watch on the stack only until the
    // watch's destructor takes it out again.
#if defined(__GNUC__) && __GNUC__ >= 12
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
#endif
    explicit TLifeWatch(TLifeWatchList& list) noexcept : FList(&list), FPrev(list.FTop)
    {
        list.FTop = this;
    }
#if defined(__GNUC__) && __GNUC__ >= 12
#pragma GCC diagnostic pop
#endif
    ~TLifeWatch()
    {
        if (!FList)
            return;
        assert(FList->FTop == this && "life watches end in the reverse order of their start");
        FList->FTop = FPrev;
    }
    TLifeWatch(const TLifeWatch&) = delete;
    TLifeWatch& operator=(const TLifeWatch&) = delete;

    bool Gone() const noexcept { return FList == nullptr; }

private:
    friend class TLifeWatchList;
    TLifeWatchList* FList;
    TLifeWatch* FPrev;
};

inline TLifeWatchList::~TLifeWatchList()
{
    for (TLifeWatch* w = FTop; w; w = w->FPrev)
        w->FList = nullptr;
}

}  // namespace calyx
