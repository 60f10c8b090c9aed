#include "document/EnhancementSettings.h"

#include "document/KeyValueFile.h"
#include "document/Parameters.h"
#include "document/RecentFiles.h"

#include <exception>

namespace korvane {

namespace {

constexpr const char* Header = "[Korvane5 follower enhancements]";

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
    for (const TKeyValueLine& Entry : ParseKeyValueText(Text, Header)) {
        if (Entry.Value != "0" && Entry.Value != "1")
            KeyValueDamaged(Entry.Line, Entry.Key + " is \"" + Entry.Value + "\", not 0 or 1");
        for (const TFollowerEnhancementOption& Option : FollowerEnhancementOptions)
            if (Entry.Key == Option.Key)
                Result.*(Option.Field) = Entry.Value == "1";
    }
    return Result;
}

void TEnhancementSettings::Load(const std::string& Folder) {
    const std::string Name = FileName(Folder);
    Enhancements = TFollowerEnhancements();
    if (!FileExists(Name))
        return;
    try {
        Enhancements = FromText(ReadSettingsText(Name));
    } catch (const std::exception& E) {
        Enhancements = TFollowerEnhancements();
        throw EParameterFile("The follower enhancements file \"" + Name + "\" is damaged (" +
                             E.what() + "). The enhancements are reset to their defaults.");
    }
}

void TEnhancementSettings::Save(const std::string& Folder) const {
    WriteSettingsText(FileName(Folder), ToText());
}

} // namespace korvane
