#pragma once
// Components: objects with an owner that destroys them, a name, insert and
// remove notifications to the owner and to components that asked for them.
//
// Creation and destruction take two steps so that virtual operations reach the
// final class: Create<T>(owner, ...) constructs and then runs AfterConstruction
// (which inserts the component into its owner); Free() first marks the
// component as being destroyed and runs BeforeDestruction (where classes do the
// part of their tear-down that needs virtual dispatch), then deletes it.
#include <string>
#include <utility>
#include <vector>

#include "rtl/Exception.h"
#include "rtl/Object.h"

namespace rtl {

enum class TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
    csDestroying = 1u << 0,
    csDesigning = 1u << 1,
};

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner) : FOwner(owner) {}

    TComponent* Owner() const noexcept { return FOwner; }
    const std::string& Name() const noexcept { return FName; }
    void SetName(const std::string& name);

    int ComponentCount() const noexcept { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(static_cast<size_t>(index)); }
    TComponent* FindComponent(const std::string& name) const;

    unsigned ComponentState() const noexcept { return FState; }
    bool IsDestroying() const noexcept { return (FState & csDestroying) != 0; }

    // Takes ownership of (or releases) a component; the owner and its owned
    // components hear of it through Notification.
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    // Asks to hear of the removal of a component that this one refers to
    // even when they have different owners.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // Runs the two-step destruction; calling it again while it runs does nothing.
    void Free();

    virtual void AfterConstruction();
    virtual void BeforeDestruction();

protected:
    virtual ~TComponent();
    virtual void Notification(TComponent* component, TOperation operation);

private:
    void Destroying();
    void RemoveFreeNotifications();
    void DestroyComponents();

    TComponent* FOwner;
    std::string FName;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    unsigned FState = 0;
    bool FInserted = false;
    bool FFreeing = false;
};

// Constructs a component of class T and completes its construction; a failure
// in the second step frees the half-made component and passes the exception on.
template <class T, class... A>
T* Create(A&&... args)
{
    T* component = new T(std::forward<A>(args)...);
    try {
        component->AfterConstruction();
    } catch (...) {
        component->Free();
        throw;
    }
    return component;
}

template <class T>
void FreeAndNil(T*& component)
{
    T* doomed = component;
    component = nullptr;
    if (doomed)
        doomed->Free();
}

}  // namespace rtl
