#include "RxTxFrameList.h"

#include <cstddef>

RUNTIME_CLASS_IMPLEMENT(CRxTxFrameBase, CFrameWnd)

const MessageMap* CRxTxFrameBase::GetMessageMap() const
{
    static const MessageEntry entries[] = {OnWmDestroy<&CRxTxFrameBase::OnDestroy>()};
    static const MessageMap map = MakeMessageMap(CFrameWnd::GetMessageMap(), entries);
    return &map;
}

void CRxTxFrameBase::OnDestroy()
{
    Unlink();
    CFrameWnd::OnDestroy();
}

void CRxTxFrameBase::Unlink()
{
    if (!IsListed())
        return;
    m_listLink.prev->next = m_listLink.next;
    m_listLink.next->prev = m_listLink.prev;
    m_listLink = FrameLink{};
}

CRxTxFrameBase* CRxTxFrameBase::FromListLink(FrameLink* link)
{
    // The frame has virtual functions but no virtual bases: its link lies at a fixed offset.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
    constexpr size_t offset = offsetof(CRxTxFrameBase, m_listLink);
#pragma GCC diagnostic pop
    return reinterpret_cast<CRxTxFrameBase*>(reinterpret_cast<char*>(link) - offset);
}

void RxTxFrameList::Add(CRxTxFrameBase* frame)
{
    if (frame->IsListed())
        return;
    FrameLink& link = frame->m_listLink;
    link.prev = m_head.prev;
    link.next = &m_head;
    m_head.prev->next = &link;
    m_head.prev = &link;
}

CRxTxFrameBase* RxTxFrameList::First()
{
    return m_head.next == &m_head ? nullptr : CRxTxFrameBase::FromListLink(m_head.next);
}

size_t RxTxFrameList::Count() const
{
    size_t count = 0;
    for (const FrameLink* link = m_head.next; link != &m_head; link = link->next)
        ++count;
    return count;
}

void RxTxFrameList::DestroyAllWindows()
{
    for (FrameLink* link = m_head.next; link != &m_head;) {
        FrameLink* next = link->next;  // the frame unlinks itself and goes
        CRxTxFrameBase::FromListLink(link)->DestroyWindow();
        link = next;
    }
}

void RxTxFrameList::DeleteAll()
{
    while (CRxTxFrameBase* frame = First()) {
        frame->Unlink();
        delete frame;
    }
}
