#pragma once

#include "image/ImageModel.h"
#include "image/readers/ByteReader.h"

namespace korvane {

// Each reader decodes one file format from Input (positioned at 0) into the working image.
// Failures throw EImageError with a message that names the problem; nothing half-decoded
// escapes. Readers are reentrant: they keep no global state.
TWorkingImage ReadTIFF(TByteReader& Input);
TWorkingImage ReadPNG(TByteReader& Input);
TWorkingImage ReadJPEG(TByteReader& Input);
TWorkingImage ReadTGA(TByteReader& Input);
TWorkingImage ReadPCX(TByteReader& Input);
TWorkingImage ReadDCX(TByteReader& Input);
TWorkingImage ReadPNM(TByteReader& Input);
TWorkingImage ReadBMP(TByteReader& Input);
TWorkingImage ReadICO(TByteReader& Input);
// Metafiles are played onto a white image at their own size (see the readers); they
// need a QGuiApplication (EnsureGuiApplication).
TWorkingImage ReadWMF(TByteReader& Input);
TWorkingImage ReadEMF(TByteReader& Input);

} // namespace korvane
