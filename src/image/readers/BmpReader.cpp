#include "image/readers/Readers.h"

namespace korvane {

TWorkingImage ReadBMP(TByteReader& Input) {
    Input.Damaged("reader not built yet");
}

} // namespace korvane
