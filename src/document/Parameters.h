#pragma once

#include "core/Colors.h"
#include "core/DoublePoints.h"
#include "core/Errors.h"
#include "core/Formats.h"
#include "core/Persistent.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvane {

class IScaleRecordOwner;
class TDigitization;
class TStream;
class TVectorizer;

// The version written into both parameter files; files of the older version are read too.
inline constexpr const char* ParameterFileVersion = "V5.01";
inline constexpr const char* ParameterFileVersion500 = "V5.00";

inline constexpr const char* ApplicationParameterFileName = "Korvane5.app";
// The folder of the per-image parameter files, inside the parameter folder.
inline constexpr const char* ImageParameterFolderName = "par";

inline constexpr const char* BadParameterFileMessage = "Parameter file is not in correct format.";
inline constexpr const char* ApplicationParameterErrorMessage =
    "Error loading application parameter file. Resetting to defaults.";
inline constexpr const char* ImageParameterErrorMessage =
    "Error loading parameters file. Resetting to defaults.";

// Reads a parameter file's version string; one that is not "V5.01" or "V5.00" throws
// EParameterFile "Parameter file is not in correct format.".
std::string ReadParameterFileVersion(TStream& Stream);

// A parameter file that cannot be used; the message is what the user reads.
class EParameterFile : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// The folder that holds "Korvane5.app" and the folder "par": the program's own folder when
// it may be written and the program is not installed (an installed one has its data in
// ../share/korvane), else $XDG_CONFIG_HOME/korvane (by default ~/.config/korvane), which is
// created when missing.
std::string DefaultParameterFolder();
// The same choice for a given program folder.
std::string DefaultParameterFolder(const std::string& ProgramFolder);

// The per-image parameter file's name for an image path: the RIPEMD-160 digest of the
// path's bytes with only the letters A to Z lowered, as 40 lower-case hexadecimal digits,
// followed by ".par". A PDF page name (PdfPageName) is keyed by the PDF's content instead:
// the digest of "pdf:", the content's digest and the name's page suffix.
std::string ImageParameterFileName(const std::string& ImageFileName);

// ---- line follower settings ----

// The follower settings of an image, and two display settings used while digitizing. The
// setters clamp into each field's range.
//
// Record (26 bytes): SelectedPointColor (1), UseBeacon (1), Delay, MaxHorizontalJump,
// MaxVerticalJump, ThicknessTolerance (4 each), ColorTolerance (8).
class TVectorizerParameters : public TPersistent {
public:
    static constexpr int RecordSize = 26;

    TVectorizerParameters() = default;
    TVectorizerParameters(const TVectorizerParameters&) = default;
    TVectorizerParameters& operator=(const TVectorizerParameters&) = default;

    // Index into DisplayColors of the colour of selected points.
    std::uint8_t SelectedPointColor = 5; // Lime
    // Show the beacon while a line is followed.
    bool UseBeacon = true;

    std::int32_t Delay() const { return FDelay; }
    std::int32_t MaxHorizontalJump() const { return FMaxHorizontalJump; }
    std::int32_t MaxVerticalJump() const { return FMaxVerticalJump; }
    std::int32_t ThicknessTolerance() const { return FThicknessTolerance; }
    double ColorTolerance() const { return FColorTolerance; }

    void SetDelay(std::int32_t Value);              // 0 .. 300
    void SetMaxHorizontalJump(std::int32_t Value);  // 1 .. 10
    void SetMaxVerticalJump(std::int32_t Value);    // 1 .. 500
    void SetThicknessTolerance(std::int32_t Value); // 1 .. 300
    void SetColorTolerance(double Value);           // 0.0 .. 1.0; not a number gives 0.0

    void Assign(const TPersistent& Source) override;

    // Values outside their ranges are clamped like the setters do; a selected point colour
    // beyond the display colour table throws, and the object stays as it was.
    void LoadFromStream(TStream& Stream, const std::string& Version);
    void SaveToStream(TStream& Stream) const;

    // Delay, ColorTolerance, MaxHorizontalJump, MaxVerticalJump and ThicknessTolerance go
    // into a follower before it starts.
    void CopyToFollower(TVectorizer& Follower) const;

    friend bool operator==(const TVectorizerParameters&, const TVectorizerParameters&);

private:
    std::int32_t FDelay = 50;
    std::int32_t FMaxHorizontalJump = 6;
    std::int32_t FMaxVerticalJump = 50;
    std::int32_t FThicknessTolerance = 20;
    double FColorTolerance = 0.1;
};

// ---- paint settings ----

class TPaintParameters;

class IPaintParametersListener {
public:
    virtual ~IPaintParametersListener() = default;
    virtual void PaintParametersChanged(TPaintParameters& Sender) = 0;
};

// What ApplyTo sets on the image panel.
class IPaintPanel {
public:
    virtual ~IPaintPanel() = default;
    virtual void SetPenWidth(std::int32_t Width) = 0;
    virtual void SetReplacingColor(TColor Color) = 0;
    virtual void SetErasingColor(TColor Color) = 0;
    virtual void SetMarkingColor(TColor Color) = 0;
};

// The pen size and the three colours for painting on the image. Each setter tells the
// listeners, in registration order, when the value changed.
//
// Record (16 bytes): ReplacingColor, ErasingColor, MarkingColor, PenSize (4 each).
class TPaintParameters : public TPersistent {
public:
    static constexpr int RecordSize = 16;

    TPaintParameters() = default;
    TPaintParameters(const TPaintParameters&) = delete;
    TPaintParameters& operator=(const TPaintParameters&) = delete;

    std::int32_t PenSize() const { return FPenSize; }
    TColor ReplacingColor() const { return FReplacingColor; }
    TColor ErasingColor() const { return FErasingColor; }
    TColor MarkingColor() const { return FMarkingColor; }

    // 1 .. 31.
    void SetPenSize(std::int32_t N);
    void SetReplacingColor(TColor Color);
    void SetErasingColor(TColor Color);
    void SetMarkingColor(TColor Color);

    // Through the setters: pen size, replacing, marking, erasing colour. Listeners are not
    // copied.
    void Assign(const TPersistent& Source) override;
    void ApplyTo(IPaintPanel& Panel) const;

    // Through the setters (the pen size is clamped, changes are announced).
    void LoadFromStream(TStream& Stream, const std::string& Version);
    void SaveToStream(TStream& Stream) const;

    void AddListener(IPaintParametersListener* Listener);
    void RemoveListener(IPaintParametersListener* Listener);
    bool HasListener(const IPaintParametersListener* Listener) const;

private:
    void Changed();

    std::vector<IPaintParametersListener*> FListeners;
    std::int32_t FPenSize = 2;
    TColor FReplacingColor = RGB(0, 0, 0);
    TColor FErasingColor = RGB(255, 255, 255);
    TColor FMarkingColor = RGB(0, 128, 128);
};

// ---- per-image settings ----

class TFileParameters;

class IFileParametersListener {
public:
    virtual ~IFileParametersListener() = default;
    virtual void FileParametersChanged(TFileParameters& Sender) = 0;
};

// The data sets to save: the application's current digitizations, in order.
using TDigitizationRefs = std::vector<const TDigitization*>;

// Everything kept for one image: its file name, the axis units, the number formats, the
// follower settings and the data sets as stored. The file lives in the folder "par" of the
// parameter folder, named by ImageParameterFileName.
//
// File: version string, the panel's coordinate-system record, X unit, Y unit, the formats
// record (10 bytes), the follower settings record (26 bytes), the number of data sets
// (32-bit) and their records, and the RIPEMD-160 digest of everything before it (20).
class TFileParameters {
public:
    // Folder: the parameter folder, which holds the folder "par".
    explicit TFileParameters(std::string Folder);
    virtual ~TFileParameters();
    TFileParameters(const TFileParameters&) = delete;
    TFileParameters& operator=(const TFileParameters&) = delete;

    std::string Version;
    TStringPoint Units;
    TCoordFormatPair Formats;
    // What Formats becomes for an image without a parameter file (and with no image).
    TCoordFormatPair DefaultFormats;
    TVectorizerParameters VectorizerParameters;

    const std::string& Folder() const { return FFolder; }
    const std::string& ImageFileName() const { return FImageFileName; }
    const std::string& ParameterFileName() const { return FParameterFileName; }

    // Fields up to the data sets; the panel reads its coordinate-system record. An unknown
    // version throws EParameterFile "Parameter file is not in correct format.". On any
    // error the follower settings and the stored data sets stay as they were.
    virtual void LoadFromStream(TStream& Stream, IScaleRecordOwner& Panel);
    // The same fields as version "V5.01", with List's data sets, or the stored ones when
    // List is null.
    virtual void SaveToStream(TStream& Stream, const TDigitizationRefs* List,
                              const IScaleRecordOwner& Panel) const;
    // Frees the stored data sets, takes ImageFileName and reads its parameter file when
    // there is one (else resets units and formats), then tells the listeners. An
    // unreadable file resets units and formats and throws EParameterFile "Error loading
    // parameters file. Resetting to defaults." without telling the listeners.
    virtual void Open(const std::string& ImageFileName, IScaleRecordOwner& Panel);
    // Writes the parameter file through a temporary file renamed over it (a read-only file
    // is made writable first) and then frees the stored data sets. A write error throws
    // and leaves the previous file and the stored data sets as they were.
    virtual void Save(const TDigitizationRefs* List, const IScaleRecordOwner& Panel);

    // The verified load of a parameter file's content, as Open does it (no notification).
    void LoadParameterFile(TStream& Stream, IScaleRecordOwner& Panel);
    // The file's content, digest included.
    void SaveParameterFile(TStream& Stream, const TDigitizationRefs* List,
                           const IScaleRecordOwner& Panel) const;

    // Stores Name and, when it is not empty, derives ParameterFileName (creating the folder
    // "par" when missing; a failure shows later, when the file is written).
    void SetImageFileName(const std::string& Name);
    void ResetUnitsAndFormats();
    void NewImage();
    void ResetForNoImage();
    void SetFormats(const TCoordFormatPair& Pair);
    void SetUnits(const TStringPoint& NewUnits);

    std::int32_t StoredCount() const { return static_cast<std::int32_t>(FStored.size()); }
    // EListError outside 0 .. StoredCount - 1.
    TDigitization& StoredDigitization(std::int32_t Index) const;
    void FreeStoredDigitizations();

    void AddListener(IFileParametersListener* Listener);
    void RemoveListener(IFileParametersListener* Listener);
    bool HasListener(const IFileParametersListener* Listener) const;

private:
    void Changed();

    std::string FFolder;
    std::string FImageFileName;
    std::string FParameterFileName;
    std::vector<IFileParametersListener*> FListeners;
    std::vector<std::unique_ptr<TDigitization>> FStored;
};

} // namespace korvane
