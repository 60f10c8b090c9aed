#pragma once

// The image-format conformance corpus in ../shared/formats: its manifest, its reference
// decodes, and the comparison rules of its README (exact, raster tolerance, metafile
// structure).

#include "image/ImageModel.h"

#include <QImage>
#include <QJsonObject>
#include <optional>
#include <string>
#include <vector>

namespace korvane {
class TByteReader;
}

namespace korvane::testing {

struct TCorpusEntry {
    std::string File;   // relative to the corpus folder
    std::string Format; // reader family: TIFF, PNG, ..., WMF, EMF
    std::string Variant;
    int Width = 0;
    int Height = 0;
    std::string Reference; // relative; empty for malformed files
    std::string Compare;   // "exact" or "tolerance"; empty for malformed files
    QJsonObject Tolerance;
    std::string Expect; // "error" or "no_crash" for malformed files, else empty
    QJsonObject Raw;    // the whole manifest entry (ICO "entries" ...)
};

std::string CorpusDir();
std::string CorpusPath(const std::string& Relative);
bool CorpusAvailable();

// The manifest's entries whose reader family is Format (all when Format is empty).
std::vector<TCorpusEntry> CorpusEntries(const std::string& Format = {});

// A binary PPM (P6, maxval 255) as an RGB888 image.
QImage ReadReferencePPM(const std::string& Path);

// Nothing when Got meets the rule against Reference, else a short reason.
std::optional<std::string> CompareImages(const QImage& Reference, const QImage& Got,
                                         const std::string& Compare, const QJsonObject& Tolerance);

// The bytes of a file (empty when it cannot be read).
std::vector<std::uint8_t> ReadFileBytes(const std::string& Path);

// GoogleTest checks that Reader over each corpus file of Format held in memory decodes the
// same image and pixel format as LoadImageFile, and fails where the file is malformed.
void CheckMemoryAndFileAgree(const std::string& Format,
                             TWorkingImage (*Reader)(TByteReader& Input));

// GoogleTest checks that each corpus file fails with an EImageError whose message holds the
// paired text.
void CheckMalformedMessages(const std::vector<std::pair<std::string, std::string>>& Cases);

// GoogleTest checks over every corpus entry of Format, through LoadImageFile: good files
// must match their reference, malformed ones must fail with EImageError (or, for
// "no_crash", may decode). Skips when ../shared is missing.
void CheckCorpusFormat(const std::string& Format);

} // namespace korvane::testing
