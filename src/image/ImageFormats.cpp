#include "image/ImageFormats.h"

#include "image/readers/Readers.h"

#include <algorithm>
#include <cctype>

namespace korvane {

namespace {

std::string Upper(std::string Text) {
    for (char& C : Text)
        if (C >= 'a' && C <= 'z')
            C = static_cast<char>(C - 'a' + 'A');
    return Text;
}

std::string Lower(std::string Text) {
    for (char& C : Text)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return Text;
}

std::string ExtensionOf(const std::string& FileName) {
    const auto Slash = FileName.find_last_of('/');
    const auto Dot = FileName.find_last_of('.');
    if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash))
        return {};
    return FileName.substr(Dot + 1);
}

} // namespace

const std::vector<TImageFormat>& TImageFormatRegistry::Formats() {
    static const std::vector<TImageFormat> List{
        {"TIF", "TIFF file", ReadTIFF, "TIFF"},
        {"TIFF", "TIFF file", ReadTIFF, "TIFF"},
        {"PNG", "Portable Network Graphic", ReadPNG, "PNG"},
        {"TGA", "Truevision Targa", ReadTGA, "TGA"},
        {"VST", "Truevision Vista", ReadTGA, "TGA"},
        {"AFI", "Truevision Targa", ReadTGA, "TGA"},
        {"PCX", "ZSoft PC Paintbrush", ReadPCX, "PCX"},
        {"PCC", "ZSoft PC Paintbrush", ReadPCX, "PCX"},
        {"DCX", "DCX file", ReadDCX, "DCX"},
        {"JPG", "JPEG", ReadJPEG, "JPEG"},
        {"JPEG", "JPEG", ReadJPEG, "JPEG"},
        {"PPM", "Portable Pixelmap", ReadPNM, "PNM"},
        {"PGM", "Portable Greymap", ReadPNM, "PNM"},
        {"PBM", "Portable Bitmap", ReadPNM, "PNM"},
        {"BMP", "Bitmap file", ReadBMP, "BMP"},
        {"ICO", "Windows icon", ReadICO, "ICO"},
        {"WMF", "Windows meta file", ReadWMF, "WMF"},
        {"EMF", "Enhanced meta file", ReadEMF, "EMF"},
    };
    return List;
}

const TImageFormat* TImageFormatRegistry::Find(const std::string& Extension) {
    std::string Key = Upper(Extension);
    if (!Key.empty() && Key.front() == '.')
        Key.erase(0, 1);
    for (const TImageFormat& F : Formats())
        if (F.Extension == Key)
            return &F;
    return nullptr;
}

const TImageFormat& TImageFormatRegistry::ForFile(const std::string& FileName) {
    const std::string Extension = ExtensionOf(FileName);
    if (Extension.empty())
        throw EImageError("\"" + FileName +
                          "\" has no file extension, so its image format is unknown.");
    const TImageFormat* Format = Find(Extension);
    if (!Format)
        throw EImageError("Unsupported image file format \"." + Extension + "\".");
    return *Format;
}

std::string TImageFormatRegistry::DialogFilter() {
    std::string All;
    std::string Each;
    const auto& List = Formats();
    for (std::size_t I = 0; I < List.size(); ++I) {
        const std::string Pattern = "*." + Lower(List[I].Extension);
        All += (All.empty() ? "" : " ") + Pattern;
        // Consecutive entries with the same description share one filter line.
        if (I > 0 && List[I - 1].Description == List[I].Description)
            continue;
        std::string Patterns = Pattern;
        for (std::size_t J = I + 1; J < List.size() && List[J].Description == List[I].Description;
             ++J)
            Patterns += " *." + Lower(List[J].Extension);
        Each += ";;" + List[I].Description + " (" + Patterns + ")";
    }
    return "All images (" + All + ")" + Each + ";;All files (*)";
}

TWorkingImage LoadImageFile(const std::string& FileName) {
    const TImageFormat& Format = TImageFormatRegistry::ForFile(FileName);
    TByteReader Input(FileName, Format.ReaderName);
    TWorkingImage Result = Format.Reader(Input);
    if (Result.Image.format() != QImage::Format_RGB888)
        throw EAssertion("LoadImageFile: reader returned a non-RGB888 image");
    return Result;
}

} // namespace korvane
