#include "runtime/MemberEmbedding.h"

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
