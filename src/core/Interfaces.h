#pragma once

#include "core/Persistent.h"

namespace korvane {

// Base of the classes that implement listener and other interfaces. Interfaces are
// plain abstract classes; holding one never keeps its object alive, so an object is
// destroyed by its owner alone and must leave every listener list it joined first.
class TUnmanagedInterface : public TPersistent {
public:
    ~TUnmanagedInterface() override = default;
};

// True when Object implements the interface I; Result, when given, receives it.
template <class I, class T> bool SupportsInterface(T* Object, I** Result = nullptr) {
    I* Found = dynamic_cast<I*>(Object);
    if (Result)
        *Result = Found;
    return Found != nullptr;
}

} // namespace korvane
