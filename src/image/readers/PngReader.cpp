#include "image/readers/Readers.h"

namespace korvane {

TWorkingImage ReadPNG(TByteReader& Input) {
    Input.Damaged("reader not built yet");
}

} // namespace korvane
