#include "image/ImageFormats.h"

#include "image/PdfDocument.h"
#include "image/readers/Readers.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

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

const TImageFormat* TImageFormatRegistry::ForContent(const std::uint8_t* Head, std::size_t Size) {
    const auto Starts = [&](std::initializer_list<std::uint8_t> Signature, std::size_t At = 0) {
        if (Size < At + Signature.size())
            return false;
        return std::equal(Signature.begin(), Signature.end(), Head + At);
    };
    const char* Extension = nullptr;
    if (Starts({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}))
        Extension = "PNG";
    else if (Starts({0xFF, 0xD8, 0xFF}))
        Extension = "JPG";
    else if (Starts({'I', 'I', 42, 0}) || Starts({'M', 'M', 0, 42}))
        Extension = "TIF";
    else if (Starts({'B', 'M'}))
        Extension = "BMP";
    else if (Starts({0xB1, 0x68, 0xDE, 0x3A}))
        Extension = "DCX";
    else if (Starts({0xD7, 0xCD, 0xC6, 0x9A}))
        Extension = "WMF";
    else if (Starts({1, 0, 0, 0}) && Starts({' ', 'E', 'M', 'F'}, 40))
        Extension = "EMF";
    else if (Size >= 3 && Head[0] == 'P' && Head[1] >= '1' && Head[1] <= '6' &&
             std::isspace(Head[2]))
        Extension = "PPM";
    return Extension ? Find(Extension) : nullptr;
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
    // PDF pages open through the page dialog, not through a reader of the list.
    return "All images (" + All + " *.pdf)" + Each + ";;PDF Documents (*.pdf);;All files (*)";
}

TWorkingImage LoadImageFile(const std::string& FileName) {
    // A page of a PDF: by its page name, or the first page at the usual resolution.
    std::error_code Error;
    if (!std::filesystem::is_regular_file(FileName, Error)) {
        if (const auto Page = ParsePdfPageName(FileName))
            return TPdfDocument::Open(Page->first).Render(Page->second);
    } else if (IsPdfFile(FileName)) {
        return TPdfDocument::Open(FileName).Render(TPdfPageSpec{});
    }
    // Opening names the file in its own messages.
    TByteReader Input(FileName, {});
    TWorkingImage Result;
    try {
        std::uint8_t Head[64] = {};
        const std::size_t Got = Input.ReadSome(Head, sizeof Head);
        Input.Seek(0);
        const TImageFormat* Format = TImageFormatRegistry::ForContent(Head, Got);
        if (!Format)
            Format = &TImageFormatRegistry::ForFile(FileName);
        Input.SetFormat(Format->ReaderName);
        Result = Format->Reader(Input);
    } catch (const EImageError& Error) {
        throw EImageError("\"" + FileName + "\": " + Error.what());
    }
    if (Result.Image.format() != QImage::Format_RGB888)
        throw EAssertion("LoadImageFile: reader returned a non-RGB888 image");
    return Result;
}

} // namespace korvane
