#pragma once

#include "core/Errors.h"
#include "interaction/ApplicationCommands.h"

#include <string>

namespace korvane {

// The object a command needs at Index of its arguments; the assertion Where fails without it.
template <class T>
T& Required(const TArgumentList& Arguments, std::int32_t Index, const char* Where) {
    T* Object = Arguments.Object<T>(Index);
    if (!Object)
        throw EAssertion(Where);
    return *Object;
}

// A data set's name as the commands' descriptions quote it.
inline std::string Quoted(const std::string& Name) {
    return "'" + Name + "'";
}

} // namespace korvane
