#pragma once
#include "Closure.h"
#include "ControlBlock.h"
#include <cstdint>

// How a front end's monitor object embeds the core's reference-counted
// members and binds its member functions to closures. A member gets a control
// block of its own whose parent is the monitor object, and is followed in the
// object by a one-byte constructed flag that its release routine tests.

// Makes the member's control block (destroy routine, parent = owner) and
// constructs the member in place; the flag is set only on success. 0 or the
// failure status (the flag stays 0). Serves every embedded type, for example
// a Strand (kStrandType) on which the object's callbacks run.
NtStatus MemberCreate(void* member, uint8_t* constructed, PayloadConstruct construct, PayloadRoutine destroy,
                      ControlBlock* owner);
// Strong-releases the member's control block when the flag is set, and clears it.
void MemberRelease(void* member, uint8_t* constructed);
void NoOpDestroy(void* payload);

// A member routine of a front-end object: it receives the object and the message.
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

// True on NT-family systems, which reach the log service over the named pipe (TCP elsewhere).
bool IsNtPlatform();
