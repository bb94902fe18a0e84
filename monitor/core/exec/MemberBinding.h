#pragma once
#include "exec/Closure.h"

// Binds member functions of reference-counted objects to closures that hold
// the object weakly: a message for an object that is destroyed or being
// destroyed is dropped. Front ends bind their record callbacks this way, the
// channel its subscription to the client's events.

// A member routine: it receives the object and the message.
typedef void (*MemberRoutine)(void* object, BufferHandle* message);

// {data = object, control block = the object's first word, weak, size word = the routine}.
BufferHandle MakeWeakMemberHandle(void* object, MemberRoutine member);
// Takes a strong reference from the weak one for the call: a message for an
// object that is destroyed or being destroyed is dropped. Exceptions stop here.
void WeakMemberThunk(BufferHandle* payload, BufferHandle* message);
// Closure {WeakMemberThunk, executor (none: the invoking thread), weak member handle}.
// The closure holds the executor strongly: an executor governed by the object's
// own control block would keep the object alive, so give it a member of its own.
void BindMember(Closure* closure, void* object, MemberRoutine member, ExecutorRecord* executor);

template <class T, void (T::*Member)(BufferHandle*)>
void MemberAdaptor(void* object, BufferHandle* message)
{
    (static_cast<T*>(object)->*Member)(message);
}

// BindMember for a member function, e.g. BindMember<CConsoleMonitor, &CConsoleMonitor::OnRecord>(...).
template <class T, void (T::*Member)(BufferHandle*)>
void BindMember(Closure* closure, T* object, ExecutorRecord* executor)
{
    BindMember(closure, object, MemberAdaptor<T, Member>, executor);
}
