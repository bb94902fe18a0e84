#include "MonitorGlue.h"
#include <windows.h>

static_assert(sizeof(void*) == 4, "a member routine travels in the 32-bit size word of a handle");

NtStatus MemberCreate(void* member, uint8_t* constructed, PayloadConstruct construct, PayloadRoutine destroy,
                      ControlBlock* owner)
{
    *constructed = 0;
    NtStatus status = ObjAttachPayload(member, construct, destroy, owner);
    if (status == kStatusSuccess)
        *constructed = 1;
    return status;
}

void MemberRelease(void* member, uint8_t* constructed)
{
    if (!*constructed)
        return;
    *constructed = 0;
    ObjRelease(ObjControlBlockOf(member));
}

void NoOpDestroy(void*) {}

BufferHandle MakeWeakMemberHandle(void* object, MemberRoutine member)
{
    BufferHandle h;
    BufHandleInit(&h, ObjControlBlockOf(object), object, reinterpret_cast<uint32_t>(member), 1);
    return h;
}

void WeakMemberThunk(BufferHandle* payload, BufferHandle* message)
{
    if (!ObjTryLock(payload->cb))
        return;
    try {
        reinterpret_cast<MemberRoutine>(payload->size)(payload->data, message);
    } catch (...) {
        // Front-end code runs on I/O and timer threads, whose frames cannot be unwound.
    }
    ObjRelease(payload->cb);
}

void BindMember(Closure* closure, void* object, MemberRoutine member, ExecutorRecord* executor)
{
    BufferHandle handle = MakeWeakMemberHandle(object, member);
    ClosureInit(closure, WeakMemberThunk, executor, &handle);
    BufHandleRelease(&handle);
}

bool IsNtPlatform()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}
