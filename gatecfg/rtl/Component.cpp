#include "rtl/Component.h"

#include <algorithm>

#include "rtl/SysUtils.h"

namespace rtl {

namespace {

bool Erase(std::vector<TComponent*>& list, TComponent* item)
{
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

}  // namespace

void TComponent::SetName(const std::string& name)
{
    if (name == FName)
        return;
    if (!name.empty() && FOwner) {
        TComponent* same = FOwner->FindComponent(name);
        if (same && same != this)
            throw EComponentError("A component named " + name + " already exists");
    }
    FName = name;
}

TComponent* TComponent::FindComponent(const std::string& name) const
{
    if (name.empty())
        return nullptr;
    for (TComponent* c : FComponents)
        if (CompareText(c->FName, name) == 0)
            return c;
    return nullptr;
}

void TComponent::AfterConstruction()
{
    if (FOwner && !FInserted)
        FOwner->InsertComponent(this);
}

void TComponent::InsertComponent(TComponent* component)
{
    if (!component->FName.empty() && FindComponent(component->FName))
        throw EComponentError("A component named " + component->FName + " already exists");
    if (component->FInserted && component->FOwner)
        component->FOwner->RemoveComponent(component);
    FComponents.push_back(component);
    component->FOwner = this;
    component->FInserted = true;
    Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component)
{
    Notification(component, TOperation::opRemove);
    Erase(FComponents, component);
    component->FOwner = nullptr;
    component->FInserted = false;
}

void TComponent::Notification(TComponent* component, TOperation operation)
{
    if (operation == TOperation::opRemove && component)
        Erase(FFreeNotifies, component);
    // Owned components may free each other from here: walk by index.
    for (size_t i = FComponents.size(); i-- > 0;)
        if (i < FComponents.size())
            FComponents[i]->Notification(component, operation);
}

void TComponent::FreeNotification(TComponent* component)
{
    if (!component || component == this)
        return;
    if (!FOwner || component->FOwner != FOwner) {
        if (std::find(component->FFreeNotifies.begin(), component->FFreeNotifies.end(), this) ==
            component->FFreeNotifies.end())
            component->FFreeNotifies.push_back(this);
        if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
            FFreeNotifies.push_back(component);
    }
}

void TComponent::RemoveFreeNotification(TComponent* component)
{
    Erase(FFreeNotifies, component);
    Erase(component->FFreeNotifies, this);
}

void TComponent::Destroying()
{
    if (IsDestroying())
        return;
    FState |= csDestroying;
    for (TComponent* c : FComponents)
        c->Destroying();
}

void TComponent::RemoveFreeNotifications()
{
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        Erase(other->FFreeNotifies, this);
        other->Notification(this, TOperation::opRemove);
    }
}

void TComponent::BeforeDestruction()
{
    // Others still see this component with its full class here.
    RemoveFreeNotifications();
    if (FOwner && FInserted)
        FOwner->RemoveComponent(this);
}

void TComponent::Free()
{
    if (FFreeing)
        return;
    FFreeing = true;
    Destroying();
    try {
        BeforeDestruction();
    } catch (...) {
        delete this;
        throw;
    }
    delete this;
}

void TComponent::DestroyComponents()
{
    // Each component removes itself, so the others hear of it while they live.
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        try {
            c->Free();
        } catch (...) {
            // One failing component must not keep its siblings alive.
        }
        Erase(FComponents, c);
    }
}

TComponent::~TComponent()
{
    DestroyComponents();
}

}  // namespace rtl
