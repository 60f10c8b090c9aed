#include "core/EnhancementSettings.h"

#include "core/AtomicFile.h"
#include "core/Parameters.h"
#include "core/RecentFiles.h"
#include "core/Streams.h"

#include <exception>

namespace korvane {

namespace {

constexpr const char* Header = "[Korvane5 follower enhancements]";
// Far more than the file ever holds: a larger file is not this file.
constexpr std::int64_t MaximumSize = 64 * 1024;

std::string Trimmed(const std::string& S) {
    const auto First = S.find_first_not_of(" \t\r");
    if (First == std::string::npos)
        return {};
    return S.substr(First, S.find_last_not_of(" \t\r") - First + 1);
}

[[noreturn]] void Damaged(int Line, const std::string& Reason) {
    throw EParameterFile("line " + std::to_string(Line) + ": " + Reason);
}

} // namespace

std::string TEnhancementSettings::FileName(const std::string& Folder) {
    return Folder + "/" + EnhancementSettingsFileName;
}

std::string TEnhancementSettings::ToText() const {
    std::string Text = std::string(Header) + "\n";
    for (const TFollowerEnhancementOption& Option : FollowerEnhancementOptions)
        Text += std::string(Option.Key) + "=" + (Enhancements.*(Option.Field) ? "1" : "0") + "\n";
    return Text;
}

TFollowerEnhancements TEnhancementSettings::FromText(const std::string& Text) {
    TFollowerEnhancements Result;
    bool HeaderSeen = false;
    int LineNumber = 0;
    std::size_t Start = 0;
    while (Start < Text.size()) {
        std::size_t End = Text.find('\n', Start);
        if (End == std::string::npos)
            End = Text.size();
        const std::string Line = Trimmed(Text.substr(Start, End - Start));
        Start = End + 1;
        ++LineNumber;
        if (Line.empty() || Line[0] == '#')
            continue;
        if (Line.find('\0') != std::string::npos)
            Damaged(LineNumber, "not text");
        if (!HeaderSeen) {
            if (Line != Header)
                Damaged(LineNumber, std::string("the file does not begin with ") + Header);
            HeaderSeen = true;
            continue;
        }
        const auto Equals = Line.find('=');
        if (Equals == std::string::npos)
            Damaged(LineNumber, "\"" + Line + "\" is not Key=Value");
        const std::string Key = Trimmed(Line.substr(0, Equals));
        const std::string Value = Trimmed(Line.substr(Equals + 1));
        if (Key.empty())
            Damaged(LineNumber, "a value without a key");
        if (Value != "0" && Value != "1")
            Damaged(LineNumber, Key + " is \"" + Value + "\", not 0 or 1");
        for (const TFollowerEnhancementOption& Option : FollowerEnhancementOptions)
            if (Key == Option.Key)
                Result.*(Option.Field) = Value == "1";
    }
    if (!HeaderSeen)
        throw EParameterFile("the file is empty");
    return Result;
}

void TEnhancementSettings::Load(const std::string& Folder) {
    const std::string Name = FileName(Folder);
    Enhancements = TFollowerEnhancements();
    if (!FileExists(Name))
        return;
    try {
        TFileStream File(Name, TFileStream::EMode::OpenRead);
        const std::int64_t Size = File.Size();
        if (Size > MaximumSize)
            throw EParameterFile("the file is too large");
        std::string Text(static_cast<std::size_t>(Size), '\0');
        if (Size > 0)
            File.ReadBuffer(Text.data(), Text.size());
        Enhancements = FromText(Text);
    } catch (const std::exception& E) {
        Enhancements = TFollowerEnhancements();
        throw EParameterFile("The follower enhancements file \"" + Name + "\" is damaged (" +
                             E.what() + "). The enhancements are reset to their defaults.");
    }
}

void TEnhancementSettings::Save(const std::string& Folder) const {
    const std::string Text = ToText();
    WriteFileAtomically(FileName(Folder),
                        [&](TStream& S) { S.WriteBuffer(Text.data(), Text.size()); });
}

} // namespace korvane
