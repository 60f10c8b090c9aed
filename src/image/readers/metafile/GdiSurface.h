#pragma once

// Metafiles are drawn band by band: the surface a canvas draws on, and the loop that replays a
// metafile onto each band of a new working image.

#include "image/ImageModel.h"

#include <QImage>
#include <QSize>
#include <cstdint>
#include <functional>

namespace korvane {

// Where a canvas draws: one horizontal band of the picture.
struct TGdiSurface {
    QImage* Band; // Format_RGB32, white
    QSize Size;   // the whole picture
    int Top;      // the picture row of the band's first row
};

// The drawing surface of a metafile is at most this large.
constexpr std::int64_t DefaultBandBytes = std::int64_t(32) << 20;

// How a metafile is drawn. The program draws every picture at its own size. MaxSide, when
// set, draws a larger picture scaled down to fit MaxSide x MaxSide pixels instead (the fuzz
// targets do, to stay quick): every record is still read and played, on fewer pixels.
struct TMetafileDrawing {
    std::int64_t BandBytes = DefaultBandBytes;
    std::int64_t MaxSide = 0; // 0: no limit
};

// Draws a metafile of Width x Height pixels band by band into a new working image: Play
// replays the whole file onto each band in turn, so only a band of at most BandBytes exists
// beside the result. The size is checked before anything is allocated, and before it is
// scaled down to Drawing.MaxSide; Play reads the size it draws at from the surface.
TWorkingImage RenderInBands(std::int64_t Width, std::int64_t Height, const char* Format,
                            const TMetafileDrawing& Drawing,
                            const std::function<void(const TGdiSurface&)>& Play);

} // namespace korvane
