#include "image/AxisMapping.h"

#include "image/ScaleSystem.h"

namespace korvane {

TAxisMapping HorzMapping(const TScaleSystem& V) {
    return {V.WindowOrg.X, V.WindowExt.X, V.ViewportOrg.X, V.ViewportExt.X};
}
TAxisMapping VertMapping(const TScaleSystem& V) {
    return {V.WindowOrg.Y, V.WindowExt.Y, V.ViewportOrg.Y, V.ViewportExt.Y};
}

bool MappingUsable(const TScaleSystem& V) {
    return V.WindowExt.X > 0 && V.WindowExt.Y > 0 && V.ViewportExt.X > 0 && V.ViewportExt.Y > 0;
}

} // namespace korvane
