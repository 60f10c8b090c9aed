#include "image/readers/Readers.h"

namespace korvane {

TWorkingImage ReadPCX(TByteReader& Input) {
    Input.Damaged("reader not built yet");
}

TWorkingImage ReadDCX(TByteReader& Input) {
    Input.Damaged("reader not built yet");
}

} // namespace korvane
