#include "core/FileNames.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <string_view>

namespace korvane {

namespace {

constexpr std::size_t MaximumNameBytes = 255;
constexpr std::size_t MaximumExtensionBytes = 32;

// The length of the valid UTF-8 sequence at Text[At], or 0 when none starts there.
std::size_t SequenceLength(const std::string& Text, std::size_t At) {
    const auto Byte = [&](std::size_t I) { return static_cast<std::uint8_t>(Text[I]); };
    const std::uint8_t Lead = Byte(At);
    if (Lead < 0x80)
        return 1;
    std::size_t Length = 0;
    std::uint32_t Code = 0;
    if ((Lead & 0xE0) == 0xC0) {
        Length = 2;
        Code = Lead & 0x1F;
    } else if ((Lead & 0xF0) == 0xE0) {
        Length = 3;
        Code = Lead & 0x0F;
    } else if ((Lead & 0xF8) == 0xF0) {
        Length = 4;
        Code = Lead & 0x07;
    } else {
        return 0;
    }
    if (At + Length > Text.size())
        return 0;
    for (std::size_t I = 1; I < Length; ++I) {
        if ((Byte(At + I) & 0xC0) != 0x80)
            return 0;
        Code = (Code << 6) | (Byte(At + I) & 0x3F);
    }
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    static constexpr std::array<std::uint32_t, 5> Least{0, 0, 0x80, 0x800, 0x10000};
    if (Code < Least[Length] || (Code >= 0xD800 && Code <= 0xDFFF) || Code > 0x10FFFF)
        return 0;
    return Length;
}

// Text with every character a file name must not hold replaced, and invalid UTF-8 bytes as
// "_".
std::string Cleaned(const std::string& Text) {
    std::string Result;
    Result.reserve(Text.size());
    for (std::size_t At = 0; At < Text.size();) {
        const std::size_t Length = SequenceLength(Text, At);
        if (Length == 0) {
            Result += '_';
            ++At;
            continue;
        }
        if (Length == 1) {
            const char C = Text[At];
            if (static_cast<unsigned char>(C) < 0x20 || C == 0x7F)
                Result += ' ';
            else if (std::string_view("/\\:*?\"<>|").find(C) != std::string_view::npos)
                Result += '-';
            else
                Result += C;
        } else {
            Result.append(Text, At, Length);
        }
        At += Length;
    }
    return Result;
}

// Text without leading spaces and dots (Leading) and trailing ones.
std::string Trimmed(std::string Text, bool Leading) {
    const auto Blank = [](char C) { return C == ' ' || C == '.'; };
    while (!Text.empty() && Blank(Text.back()))
        Text.pop_back();
    if (Leading) {
        const auto First = std::find_if_not(Text.begin(), Text.end(), Blank);
        Text.erase(Text.begin(), First);
    }
    return Text;
}

// The longest start of Text within Bytes that does not split a character.
std::string Cut(const std::string& Text, std::size_t Bytes) {
    if (Text.size() <= Bytes)
        return Text;
    std::size_t End = Bytes;
    while (End > 0 && (static_cast<unsigned char>(Text[End]) & 0xC0) == 0x80)
        --End;
    return Text.substr(0, End);
}

bool IsDeviceName(const std::string& Stem) {
    std::string Word = Stem.substr(0, Stem.find('.'));
    Word = Trimmed(Word, false);
    for (char& C : Word)
        C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
    if (Word == "CON" || Word == "PRN" || Word == "AUX" || Word == "NUL")
        return true;
    return Word.size() == 4 && (Word.compare(0, 3, "COM") == 0 || Word.compare(0, 3, "LPT") == 0) &&
           Word[3] >= '1' && Word[3] <= '9';
}

} // namespace

std::string SafeExtension(const std::string& Extension) {
    std::string Suffix = Cleaned(Extension);
    Suffix.erase(std::remove(Suffix.begin(), Suffix.end(), ' '), Suffix.end());
    return Trimmed(Cut(Trimmed(Suffix, true), MaximumExtensionBytes), true);
}

std::string SafeFileName(const std::string& Stem, const std::string& Extension) {
    const std::string Suffix = SafeExtension(Extension);
    const std::size_t Room = MaximumNameBytes - (Suffix.empty() ? 0 : Suffix.size() + 1);
    std::string Name = Trimmed(Cleaned(Stem), true);
    if (Name.empty())
        Name = "data";
    if (IsDeviceName(Name))
        Name = Name.substr(0, Name.find('.')) + "_" +
               (Name.find('.') == std::string::npos ? "" : Name.substr(Name.find('.')));
    Name = Trimmed(Cut(Name, Room), false);
    if (Name.empty())
        Name = "data";
    return Suffix.empty() ? Name : Name + "." + Suffix;
}

} // namespace korvane
