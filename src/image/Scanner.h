#pragma once

#include "core/Errors.h"
#include "image/ImageModel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

class EScannerError : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// Scanners through SANE. One object exists at a time: TScanner::Instance() creates it on
// first use; constructing a second raises "Only one scanner object is permitted".
// Call it from the user-interface thread only.
class TScanner {
public:
    struct TSource {
        std::string Device;  // SANE device name, e.g. "test:0"
        std::string Caption; // "Vendor Model"
    };

    TScanner();
    ~TScanner();
    TScanner(const TScanner&) = delete;
    TScanner& operator=(const TScanner&) = delete;

    static TScanner& Instance();

    // True when SANE is initialised and lists at least one device; otherwise tries to
    // open it and answers false when that fails (the failure is not reported).
    bool Available();

    const std::vector<TSource>& Sources() const { return FSources; }
    // The default source: the first device; -1 when there is none.
    int SelectedSource() const { return FSelectedSource; }
    // Index of the device named Device, or -1.
    int IndexOf(const std::string& Device) const;

    // Requested resolution in dots per inch, applied when the device lets it be set;
    // 0 leaves the device's own setting.
    std::uint16_t Resolution = 200;

    // Scans one page from source Index and converts it like a file image: colour, grey,
    // lineart (1-bit) and three-pass (red, green, blue frames), 8 or 16 bits per sample.
    // Throws EScannerError with SANE's reason.
    TWorkingImage Acquire(int Index);

private:
    void Open();
    void Close();

    bool FInitialised = false;
    std::vector<TSource> FSources;
    int FSelectedSource = -1;
};

} // namespace korvane
