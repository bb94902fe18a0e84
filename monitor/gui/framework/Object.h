#pragma once
// The root of the framework's objects: a name for the class at run time and,
// for classes that allow it, a way to make one by that name.
#include <cstring>

class CObject;

struct CRuntimeClass {
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;
    CObject* (*m_pfnCreateObject)();  // null when the class is not creatable by name

    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
    bool IsDerivedFrom(const CRuntimeClass* base) const
    {
        for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
            if (c == base)
                return true;
        return false;
    }
    // The registered class of that name, or null; only creatable classes register.
    static const CRuntimeClass* FromName(const char* name);
};

// Registers a creatable class for FromName; one static instance per class.
struct CRuntimeClassRegistration {
    explicit CRuntimeClassRegistration(const CRuntimeClass* rtc);
};

class CObject {
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    bool IsKindOf(const CRuntimeClass* rtc) const { return GetRuntimeClass()->IsDerivedFrom(rtc); }

    static const CRuntimeClass classCObject;
};

// In a class body: the class's runtime class and its query.
#define RUNTIME_CLASS_DECLARE(name) \
public: \
    static const CRuntimeClass class##name; \
    const CRuntimeClass* GetRuntimeClass() const override { return &class##name; } \
private:

// In one source file: a class known by name only.
#define RUNTIME_CLASS_IMPLEMENT(name, base) \
    const CRuntimeClass name::class##name = {#name, &base::class##base, nullptr};

// In one source file: a class that FromName can also create (default constructor).
#define RUNTIME_CLASS_IMPLEMENT_CREATABLE(name, base) \
    const CRuntimeClass name::class##name = {#name, &base::class##base, \
                                             []() -> CObject* { return new name; }}; \
    static const CRuntimeClassRegistration registration##name(&name::class##name);
