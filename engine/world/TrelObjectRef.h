#ifndef TREL_OBJECT_REF_H
#define TREL_OBJECT_REF_H

#include "base/TrelExport.h"

class TrelObject;

// A pointer to an object that reads null once the object is destroyed (from its destroy() on)
// and stays null after the layer has deleted it: what a tween, a camera or a game keeps of an
// object it does not own. The object clears every reference to it when it is deleted, so a
// reference never dangles. Copies refer to the same object; main thread only, as the world is.
class TREL_API TrelObjectRef {
public:
    TrelObjectRef() = default;
    explicit TrelObjectRef(TrelObject* target) { set(target); }
    TrelObjectRef(const TrelObjectRef& other) { set(other.object); }
    TrelObjectRef& operator=(const TrelObjectRef& other);
    ~TrelObjectRef() { set(nullptr); }

    void set(TrelObject* target);
    // Null for no object, and for one destroyed or deleted.
    TrelObject* get() const;

    // Called by TrelObject's destructor only: forgets the object without touching it, and
    // returns the next reference to clear.
    TrelObjectRef* forget_();

private:
    TrelObject* object = nullptr;
    // The other references to the same object, in a list the object starts.
    TrelObjectRef* previous = nullptr;
    TrelObjectRef* next = nullptr;
};

#endif
