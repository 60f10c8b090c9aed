#pragma once

#include "image/ImageModel.h"
#include "image/readers/ByteReader.h"
#include "image/readers/metafile/GdiSurface.h"

namespace korvane {

// Plays a Windows metafile, placeable or standard, onto a white image of its own size,
// replaying it for each band of at most Drawing.BandBytes. Needs a QGuiApplication.
TWorkingImage PlayWMF(TByteReader& Input, const TMetafileDrawing& Drawing = {});

// Plays an enhanced metafile onto a white image of its frame's size, replaying it for each
// band of at most Drawing.BandBytes. Needs a QGuiApplication.
TWorkingImage PlayEMF(TByteReader& Input, const TMetafileDrawing& Drawing = {});

} // namespace korvane
