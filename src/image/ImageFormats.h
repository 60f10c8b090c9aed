#pragma once

#include "image/ImageModel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

class TByteReader;

using TImageReaderFunction = TWorkingImage (*)(TByteReader& Input);

// One registered image format: extension in upper case without the dot.
struct TImageFormat {
    std::string Extension;
    std::string Description;
    TImageReaderFunction Reader = nullptr;
    // The name the reader uses in its messages ("TIFF", "BMP", ...).
    std::string ReaderName;
};

// The image formats Korvane opens, in their fixed order. The reader is chosen by the
// file's extension, without regard to case.
class TImageFormatRegistry {
public:
    static const std::vector<TImageFormat>& Formats();
    // nullptr when Extension (with or without the dot, any case) is not registered.
    static const TImageFormat* Find(const std::string& Extension);
    // The entry for FileName's extension; throws EImageError naming the extension.
    static const TImageFormat& ForFile(const std::string& FileName);
    // The entry whose signature starts Head (a file's first bytes), or nullptr when none does.
    // Only formats with a signature of their own are recognised: TIFF, PNG, JPEG, BMP, the
    // PNM family, DCX, placeable WMF and EMF.
    static const TImageFormat* ForContent(const std::uint8_t* Head, std::size_t Size);
    // A file-dialog filter: "All images (*.tif *.tiff ...);;TIFF file (*.tif *.tiff);;...".
    static std::string DialogFilter();
};

// Reads an image file into the working image. The reader is chosen by the file's content
// (a JPEG saved as ".png" opens as the JPEG it is), by its extension when the content has no
// signature. A PDF renders its first page at 300 dpi; a PDF page name (PdfPageName) renders
// that page. Throws EImageError whose message names the file.
TWorkingImage LoadImageFile(const std::string& FileName);

} // namespace korvane
