#include "core/Persistent.h"

#include "core/Errors.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace korvane {

void TPersistent::Assign(const TPersistent& Source) {
    Source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& Dest) const {
    throw EConvertError("Cannot assign a " + ClassName() + " to a " + Dest.ClassName() + ".");
}

std::string TPersistent::ClassName() const {
    const char* Mangled = typeid(*this).name();
    int Status = 0;
    std::unique_ptr<char, void (*)(void*)> Demangled(
        abi::__cxa_demangle(Mangled, nullptr, nullptr, &Status), std::free);
    std::string Name = (Status == 0 && Demangled) ? Demangled.get() : Mangled;
    const auto Colons = Name.rfind("::");
    return Colons == std::string::npos ? Name : Name.substr(Colons + 2);
}

} // namespace korvane
