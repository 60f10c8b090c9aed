#include "image/readers/Readers.h"

namespace korvane {

TWorkingImage ReadWMF(TByteReader& Input) {
    Input.Damaged("reader not built yet");
}

TWorkingImage ReadEMF(TByteReader& Input) {
    Input.Damaged("reader not built yet");
}

} // namespace korvane
