#include "document/KeyValueFile.h"

#include "core/AtomicFile.h"
#include "core/Streams.h"
#include "document/Parameters.h"

namespace korvane {

namespace {

// Far more than such a file ever holds: a larger file is not one of ours.
constexpr std::int64_t MaximumSize = 64 * 1024;

std::string Trimmed(const std::string& S) {
    const auto First = S.find_first_not_of(" \t\r");
    if (First == std::string::npos)
        return {};
    return S.substr(First, S.find_last_not_of(" \t\r") - First + 1);
}

} // namespace

void KeyValueDamaged(int Line, const std::string& Reason) {
    throw EParameterFile("line " + std::to_string(Line) + ": " + Reason);
}

std::vector<TKeyValueLine> ParseKeyValueText(const std::string& Text, const std::string& Header) {
    std::vector<TKeyValueLine> Result;
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
            KeyValueDamaged(LineNumber, "not text");
        if (!HeaderSeen) {
            if (Line != Header)
                KeyValueDamaged(LineNumber, "the file does not begin with " + Header);
            HeaderSeen = true;
            continue;
        }
        const auto Equals = Line.find('=');
        if (Equals == std::string::npos)
            KeyValueDamaged(LineNumber, "\"" + Line + "\" is not Key=Value");
        TKeyValueLine Entry{Trimmed(Line.substr(0, Equals)), Trimmed(Line.substr(Equals + 1)),
                            LineNumber};
        if (Entry.Key.empty())
            KeyValueDamaged(LineNumber, "a value without a key");
        Result.push_back(std::move(Entry));
    }
    if (!HeaderSeen)
        throw EParameterFile("the file is empty");
    return Result;
}

std::string ReadSettingsText(const std::string& FileName) {
    TFileStream File(FileName, TFileStream::EMode::OpenRead);
    const std::int64_t Size = File.Size();
    if (Size > MaximumSize)
        throw EParameterFile("the file is too large");
    std::string Text(static_cast<std::size_t>(Size), '\0');
    if (Size > 0)
        File.ReadBuffer(Text.data(), Text.size());
    return Text;
}

void WriteSettingsText(const std::string& FileName, const std::string& Text) {
    WriteFileAtomically(FileName, [&](TStream& S) { S.WriteBuffer(Text.data(), Text.size()); });
}

} // namespace korvane
