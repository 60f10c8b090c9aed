#include "image/readers/Readers.h"

namespace korvane {

TWorkingImage ReadTGA(TByteReader& Input) {
    Input.Damaged("reader not built yet");
}

} // namespace korvane
