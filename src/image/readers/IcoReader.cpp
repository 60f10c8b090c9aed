#include "image/readers/Readers.h"

namespace korvane {

TWorkingImage ReadICO(TByteReader& Input) {
    Input.Damaged("reader not built yet");
}

} // namespace korvane
