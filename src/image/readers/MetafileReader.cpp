#include "image/readers/Readers.h"
#include "image/readers/metafile/MetafilePlayers.h"

namespace korvane {

// Metafiles are played at 96 dots per inch: placeable WMF by its bounding box and units per
// inch, standard WMF by its first window extent in pixels, EMF by its frame.
TWorkingImage ReadWMF(TByteReader& Input) {
    EnsureGuiApplication();
    return PlayWMF(Input);
}

TWorkingImage ReadEMF(TByteReader& Input) {
    EnsureGuiApplication();
    return PlayEMF(Input);
}

} // namespace korvane
