#include "image/readers/Readers.h"

namespace korvane {

TWorkingImage ReadPNM(TByteReader& Input) {
    Input.Damaged("reader not built yet");
}

} // namespace korvane
