#include "image/readers/Readers.h"

namespace korvane {

TWorkingImage ReadJPEG(TByteReader& Input) {
    Input.Damaged("reader not built yet");
}

} // namespace korvane
