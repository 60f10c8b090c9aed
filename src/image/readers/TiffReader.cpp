#include "image/readers/Readers.h"

namespace korvane {

TWorkingImage ReadTIFF(TByteReader& Input) {
    Input.Damaged("reader not built yet");
}

} // namespace korvane
