#include "world/TrelObjectRef.h"

#include "world/TrelObject.h"

TrelObjectRef& TrelObjectRef::operator=(const TrelObjectRef& other) {
    if (this != &other)
        set(other.object);
    return *this;
}

void TrelObjectRef::set(TrelObject* target) {
    if (target == object)
        return;
    if (object != nullptr) {
        if (previous != nullptr)
            previous->next = next;
        else
            object->firstRef = next;
        if (next != nullptr)
            next->previous = previous;
    }
    object = target;
    previous = nullptr;
    next = nullptr;
    if (object != nullptr) {
        next = object->firstRef;
        if (next != nullptr)
            next->previous = this;
        object->firstRef = this;
    }
}

TrelObject* TrelObjectRef::get() const {
    return object != nullptr && !object->isDestroyed() ? object : nullptr;
}

TrelObjectRef* TrelObjectRef::forget_() {
    TrelObjectRef* after = next;
    object = nullptr;
    previous = nullptr;
    next = nullptr;
    return after;
}
