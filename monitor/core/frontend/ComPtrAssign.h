#pragma once

// Makes *slot hold `object` with a reference of its own: the same pointer
// changes nothing; otherwise AddRef the new one, then Release the old one.
template <class Interface>
void ComPtrAssign(Interface** slot, Interface* object)
{
    if (*slot == object)
        return;
    if (object)
        object->AddRef();
    Interface* old = *slot;
    *slot = object;
    if (old)
        old->Release();
}
