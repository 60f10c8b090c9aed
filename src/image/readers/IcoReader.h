#pragma once

#include "image/ImageModel.h"
#include "image/readers/ByteReader.h"

namespace korvane {

// The number of images in an icon or cursor file.
int IcoEntryCount(TByteReader& Input);

// Decodes image Index (from 0, in directory order) of an icon or cursor file. ReadICO
// decodes the largest and, among those, the deepest.
TWorkingImage ReadIcoEntry(TByteReader& Input, int Index);

} // namespace korvane
