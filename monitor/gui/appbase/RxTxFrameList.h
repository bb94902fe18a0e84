#pragma once
#include "FrameWnd.h"

// A frame's place in a circular doubly linked list whose head is a sentinel.
struct FrameLink {
    FrameLink* next = nullptr;  // null while not listed
    FrameLink* prev = nullptr;
};

// The base of the RX/TX data windows: its link in the application's list of
// open RX/TX windows is its first own member. A listed frame unlinks itself
// when its window is destroyed or the frame deleted; a derived frame that
// handles WM_DESTROY calls CRxTxFrameBase::OnDestroy.
class CRxTxFrameBase : public CFrameWnd {
public:
    RUNTIME_CLASS_DECLARE(CRxTxFrameBase)
public:
    CRxTxFrameBase() = default;
    ~CRxTxFrameBase() override { Unlink(); }

    bool IsListed() const { return m_listLink.next != nullptr; }
    void Unlink();
    static CRxTxFrameBase* FromListLink(FrameLink* link);

    FrameLink m_listLink;

protected:
    const MessageMap* GetMessageMap() const override;
    void OnDestroy();
};

// The open RX/TX windows, in the order they were opened.
class RxTxFrameList {
public:
    RxTxFrameList() { m_head.next = m_head.prev = &m_head; }
    ~RxTxFrameList() { DeleteAll(); }
    RxTxFrameList(const RxTxFrameList&) = delete;
    RxTxFrameList& operator=(const RxTxFrameList&) = delete;

    // Links the frame at the tail; a listed frame stays where it is.
    void Add(CRxTxFrameBase* frame);
    // DestroyWindow of every listed frame; each unlinks itself and goes.
    void DestroyAllWindows();
    // Unlinks every frame from the head and deletes it.
    void DeleteAll();

    CRxTxFrameBase* First();
    size_t Count() const;

private:
    FrameLink m_head;  // the sentinel
};
