// libFuzzer target for the data template parser. The input's first three parts between NUL
// bytes are the header, body and footer text of a template (missing parts are empty, further
// parts are ignored, so no section holds a NUL, which would cut the messages); each is parsed
// and the template is expanded over a small scatter. A section may only fail to parse with
// ETagParserError and one of its two messages, and then keeps the text it had; anything else
// (a crash, a sanitizer report, another exception) is a finding. A section that parses reads
// back as its text with each tag in its canonical spelling, parses again to the same items,
// and the template survives its record.
//
// With KORVANE_FUZZ_SEEDS=DIR in the environment the target first writes the sections of the
// built-in text templates into DIR, to serve as the seed corpus.

#include "core/Streams.h"
#include "document/Digitizations.h"
#include "export/DataTemplates.h"
#include "export/ExportData.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

using namespace korvane;

namespace {

// What every section holds before the fuzzer's text is set: a failed parse must leave it.
const std::string PreviousText = "before {X}";

bool SameIgnoringAsciiCase(const std::string& A, const std::string& B) {
    if (A.size() != B.size())
        return false;
    for (std::size_t I = 0; I < A.size(); ++I) {
        char X = A[I], Y = B[I];
        if (X >= 'a' && X <= 'z')
            X = char(X - 'a' + 'A');
        if (Y >= 'a' && Y <= 'z')
            Y = char(Y - 'a' + 'A');
        if (X != Y)
            return false;
    }
    return true;
}

void Require(bool Condition) {
    if (!Condition)
        __builtin_trap();
}

// Sets one section of Template (Set, read back by Get) to Text.
void SetSection(TDataTemplate& Template, void (TDataTemplate::*Set)(const std::string&),
                std::string (TDataTemplate::*Get)() const, const std::string& Text) {
    (Template.*Set)(PreviousText);
    try {
        (Template.*Set)(Text);
    } catch (const ETagParserError& Error) {
        const std::string Message = Error.what();
        Require((Message.starts_with("End delimiter not found: '") ||
                 Message.starts_with("Tag symbol not found: '")) &&
                Message.ends_with("'"));
        Require((Template.*Get)() == PreviousText);
        return;
    }
    // Tags match without regard to case and read back in their own spelling, which has the
    // same length; literals read back as they were.
    const std::string Canonical = (Template.*Get)();
    Require(SameIgnoringAsciiCase(Canonical, Text));
    TTagParser Original, Again;
    Original.SetText(Text);
    Again.SetText(Canonical);
    Require(Again.Items() == Original.Items());
}

const TScatter& DataSet() {
    static const std::unique_ptr<TScatter> Scatter = [] {
        auto Points = std::make_unique<TScatter>("Set {1}");
        Points->AddPoint({1.5, -2});
        Points->AddPoint({-3e-5, 4e7});
        Points->AddPoint({0, 0.25});
        return Points;
    }();
    return *Scatter;
}

void WriteSeeds(const std::string& Folder) {
    const auto List = CreateBuiltInTemplates();
    for (std::int32_t I = 0; I < List->Count(); ++I) {
        const TDataTemplate& Template = List->Items(I);
        if (dynamic_cast<const TCustomDataTemplate*>(&Template))
            continue;
        std::ofstream File(Folder + "/builtin" + std::to_string(I), std::ios::binary);
        File << Template.HeaderText() << '\0' << Template.BodyText() << '\0'
             << Template.FooterText();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* Folder = std::getenv("KORVANE_FUZZ_SEEDS"); Folder && *Folder)
        WriteSeeds(Folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Input(reinterpret_cast<const char*>(Data), Size);
    std::string Sections[3];
    std::size_t Start = 0;
    for (std::string& Section : Sections) {
        const std::size_t End = std::min(Input.find('\0', Start), Input.size());
        Section = Input.substr(Start, End - Start);
        Start = std::min(End + 1, Input.size());
    }

    TDataTemplate Template("Fuzz");
    SetSection(Template, &TDataTemplate::SetHeaderText, &TDataTemplate::HeaderText, Sections[0]);
    SetSection(Template, &TDataTemplate::SetBodyText, &TDataTemplate::BodyText, Sections[1]);
    SetSection(Template, &TDataTemplate::SetFooterText, &TDataTemplate::FooterText, Sections[2]);

    TExpansionParams Params;
    Params.Units = {"m{X}", "}s"};
    (void)ExportToText(Template, DataSet(), false, Params);
    (void)ExportPreviewText(Template, DataSet(), nullptr, Params);

    // The record the parameter file keeps reads back to the same template.
    TMemoryStream Stream;
    Template.SaveToStream(Stream);
    Stream.Seek(0);
    TDataTemplate Loaded;
    Loaded.LoadFromStream(Stream);
    Require(Loaded.HeaderText() == Template.HeaderText() &&
            Loaded.BodyText() == Template.BodyText() &&
            Loaded.FooterText() == Template.FooterText());
    return 0;
}
