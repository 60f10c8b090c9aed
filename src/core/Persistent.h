#pragma once

#include <string>

namespace korvane {

// Base of the objects that can be copied into one another across a class tree.
// Assign(Source) lets the destination copy what it understands; whatever it does not
// know is handed to Source.AssignTo(*this), and a pair of unrelated classes ends in
// EConvertError "Cannot assign a <source class> to a <destination class>.".
class TPersistent {
public:
    virtual ~TPersistent() = default;

    virtual void Assign(const TPersistent& Source);

    // The class's own name without namespace, e.g. "TScaleSystem".
    virtual std::string ClassName() const;

protected:
    TPersistent() = default;
    TPersistent(const TPersistent&) = default;
    TPersistent& operator=(const TPersistent&) = default;

    virtual void AssignTo(TPersistent& Dest) const;
};

} // namespace korvane
