#include "net/pipe/SecurityDescriptorCheck.h"
#include <windows.h>

namespace {

bool SidInside(const uint8_t* base, uint32_t n, DWORD offset)
{
    if (offset == 0)
        return true;
    if (offset > n || n - offset < 8)
        return false;
    const uint8_t subAuthorities = base[offset + 1];
    if (n - offset < 8u + 4u * subAuthorities)
        return false;
    return IsValidSid(const_cast<uint8_t*>(base + offset)) != 0;
}

bool AclInside(const uint8_t* base, uint32_t n, DWORD offset, bool present)
{
    if (!present || offset == 0)
        return true;
    if (offset > n || n - offset < sizeof(ACL))
        return false;
    auto* acl = reinterpret_cast<const ACL*>(base + offset);
    if (acl->AclSize > n - offset)
        return false;
    return IsValidAcl(const_cast<ACL*>(acl)) != 0;
}

}  // namespace

bool SecurityDescriptorCheck(const void* bytes, uint32_t n)
{
    if (!bytes || n < sizeof(SECURITY_DESCRIPTOR_RELATIVE))
        return false;
    auto* base = static_cast<const uint8_t*>(bytes);
    auto* sd = static_cast<const SECURITY_DESCRIPTOR_RELATIVE*>(bytes);
    if (sd->Revision != SECURITY_DESCRIPTOR_REVISION || !(sd->Control & SE_SELF_RELATIVE))
        return false;
    if (!SidInside(base, n, sd->Owner) || !SidInside(base, n, sd->Group) ||
        !AclInside(base, n, sd->Sacl, (sd->Control & SE_SACL_PRESENT) != 0) ||
        !AclInside(base, n, sd->Dacl, (sd->Control & SE_DACL_PRESENT) != 0))
        return false;
    return IsValidSecurityDescriptor(const_cast<void*>(bytes)) != 0;
}
