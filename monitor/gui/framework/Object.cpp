#include "Object.h"

#include <vector>

const CRuntimeClass CObject::classCObject = {"CObject", nullptr, nullptr};

namespace {

std::vector<const CRuntimeClass*>& Registry()
{
    static std::vector<const CRuntimeClass*> classes;
    return classes;
}

}  // namespace

CRuntimeClassRegistration::CRuntimeClassRegistration(const CRuntimeClass* rtc)
{
    Registry().push_back(rtc);
}

const CRuntimeClass* CRuntimeClass::FromName(const char* name)
{
    for (const CRuntimeClass* c : Registry())
        if (std::strcmp(c->m_lpszClassName, name) == 0)
            return c;
    return nullptr;
}
