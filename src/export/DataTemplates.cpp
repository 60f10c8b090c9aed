#include "export/DataTemplates.h"

#include "core/Streams.h"
#include "document/Digitizations.h"
#include "export/NativeExcel.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace korvane {

namespace {

bool SameTextAscii(const std::string& A, const std::string& B) {
    if (A.size() != B.size())
        return false;
    for (std::size_t I = 0; I < A.size(); ++I) {
        char X = A[I];
        char Y = B[I];
        if (X >= 'a' && X <= 'z')
            X = static_cast<char>(X - 'a' + 'A');
        if (Y >= 'a' && Y <= 'z')
            Y = static_cast<char>(Y - 'a' + 'A');
        if (X != Y)
            return false;
    }
    return true;
}

// Template names may hold any letters: compare them with Unicode case folding.
bool SameName(const std::string& A, const std::string& B) {
    return QString::fromUtf8(A.data(), static_cast<qsizetype>(A.size()))
               .compare(QString::fromUtf8(B.data(), static_cast<qsizetype>(B.size())),
                        Qt::CaseInsensitive) == 0;
}

// The text in single quotes, inner single quotes doubled.
std::string Quoted(const std::string& Text) {
    std::string Result = "'";
    for (char C : Text) {
        Result += C;
        if (C == '\'')
            Result += '\'';
    }
    return Result + "'";
}

// A tag whose header and footer values are the same.
class TDigitizationValueTag : public TDataTemplateTag {
public:
    std::string FooterValue(const TDigitization& Digitization,
                            const TExpansionParams& Params) const override {
        return HeaderValue(Digitization, Params);
    }
};

class TXTag : public TDataTemplateTag {
public:
    std::string Symbol() const override { return "X"; }
    std::string Description() const override { return "X"; }
    unsigned Sections() const override { return tsBody; }
    std::string BodyValue(TDoublePoint Point, const TExpansionParams& Params) const override {
        return Params.Formats.XFormat.Format(Point.X, Params.DecimalSeparator);
    }
};

class TYTag : public TDataTemplateTag {
public:
    std::string Symbol() const override { return "Y"; }
    std::string Description() const override { return "Y"; }
    unsigned Sections() const override { return tsBody; }
    std::string BodyValue(TDoublePoint Point, const TExpansionParams& Params) const override {
        return Params.Formats.YFormat.Format(Point.Y, Params.DecimalSeparator);
    }
};

class TXUnitsTag : public TDigitizationValueTag {
public:
    std::string Symbol() const override { return "XU"; }
    std::string Description() const override { return "X units"; }
    unsigned Sections() const override { return tsAllSections; }
    bool IsText() const override { return true; }
    std::string BodyValue(TDoublePoint, const TExpansionParams& Params) const override {
        return Params.Units.X;
    }
    std::string HeaderValue(const TDigitization&, const TExpansionParams& Params) const override {
        return Params.Units.X;
    }
};

class TYUnitsTag : public TDigitizationValueTag {
public:
    std::string Symbol() const override { return "YU"; }
    std::string Description() const override { return "Y units"; }
    unsigned Sections() const override { return tsAllSections; }
    bool IsText() const override { return true; }
    std::string BodyValue(TDoublePoint, const TExpansionParams& Params) const override {
        return Params.Units.Y;
    }
    std::string HeaderValue(const TDigitization&, const TExpansionParams& Params) const override {
        return Params.Units.Y;
    }
};

// The smallest or largest X or Y of all digitized points (not the approximator's output,
// whatever is selected); 1e30 or -1e30 without points.
class TExtremeTag : public TDigitizationValueTag {
public:
    TExtremeTag(const char* Symbol, const char* Description, bool OfY, bool Largest)
        : FSymbol(Symbol), FDescription(Description), FOfY(OfY), FLargest(Largest) {}

    std::string Symbol() const override { return FSymbol; }
    std::string Description() const override { return FDescription; }
    unsigned Sections() const override { return tsHeader | tsFooter; }
    std::string HeaderValue(const TDigitization& Digitization,
                            const TExpansionParams& Params) const override {
        const TDoublePointArray& Points = Digitization.Points();
        const TDoublePoint* Data = Points.Data();
        double Value = FLargest ? -1e30 : 1e30;
        for (std::int32_t I = 0; I < Points.Count(); ++I) {
            const double V = FOfY ? Data[I].Y : Data[I].X;
            if (FLargest ? V > Value : V < Value)
                Value = V;
        }
        const TCoordFormat& Format = FOfY ? Params.Formats.YFormat : Params.Formats.XFormat;
        return Format.Format(Value, Params.DecimalSeparator);
    }

private:
    const char* FSymbol;
    const char* FDescription;
    bool FOfY;
    bool FLargest;
};

class TXMinTag : public TExtremeTag {
public:
    TXMinTag() : TExtremeTag("XMin", "Minimum X value", false, false) {}
};

class TXMaxTag : public TExtremeTag {
public:
    TXMaxTag() : TExtremeTag("XMax", "Maximum X value", false, true) {}
};

class TYMinTag : public TExtremeTag {
public:
    TYMinTag() : TExtremeTag("YMin", "Minimum Y value", true, false) {}
};

class TYMaxTag : public TExtremeTag {
public:
    TYMaxTag() : TExtremeTag("YMax", "Maximum Y value", true, true) {}
};

class TDigitizationNameTag : public TDigitizationValueTag {
public:
    std::string Symbol() const override { return "DataSetName"; }
    std::string Description() const override { return "Data set name"; }
    unsigned Sections() const override { return tsHeader | tsFooter; }
    bool IsText() const override { return true; }
    std::string HeaderValue(const TDigitization& Digitization,
                            const TExpansionParams&) const override {
        return Digitization.Name();
    }
};

class TDigitizationColorTag : public TDigitizationValueTag {
public:
    std::string Symbol() const override { return "DataSetColor"; }
    std::string Description() const override { return "Data set color"; }
    unsigned Sections() const override { return tsHeader | tsFooter; }
    bool IsText() const override { return true; }
    std::string HeaderValue(const TDigitization& Digitization,
                            const TExpansionParams&) const override {
        const std::size_t Index = Digitization.ColorIndex();
        return Index < DisplayColors.size() ? DisplayColors[Index].Name : "";
    }
};

// The local date and time in the locale's short date and long time format.
class TTimeStampTag : public TDigitizationValueTag {
public:
    std::string Symbol() const override { return "TimeStamp"; }
    std::string Description() const override { return "Time stamp"; }
    unsigned Sections() const override { return tsHeader | tsFooter; }
    bool IsText() const override { return true; }
    std::string HeaderValue(const TDigitization&, const TExpansionParams&) const override {
        const QLocale Locale;
        const QString Format = Locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') +
                               Locale.timeFormat(QLocale::LongFormat);
        return Locale.toString(QDateTime::currentDateTime(), Format).toStdString();
    }
};

class TLeftBraceTag : public TBuiltInTag {
public:
    std::string Symbol() const override { return "LB"; }
    std::string Description() const override { return "Left curly bracket"; }
    std::string BodyValue(TDoublePoint, const TExpansionParams&) const override { return "{"; }
    std::string HeaderValue(const TDigitization&, const TExpansionParams&) const override {
        return "{";
    }
    std::string FooterValue(const TDigitization&, const TExpansionParams&) const override {
        return "{";
    }
};

class TRightBraceTag : public TBuiltInTag {
public:
    std::string Symbol() const override { return "RB"; }
    std::string Description() const override { return "Right curly bracket"; }
    std::string BodyValue(TDoublePoint, const TExpansionParams&) const override { return "}"; }
    std::string HeaderValue(const TDigitization&, const TExpansionParams&) const override {
        return "}";
    }
    std::string FooterValue(const TDigitization&, const TExpansionParams&) const override {
        return "}";
    }
};

struct TTagSet {
    TXTag X;
    TYTag Y;
    TXUnitsTag XUnits;
    TYUnitsTag YUnits;
    TXMinTag XMin;
    TXMaxTag XMax;
    TYMinTag YMin;
    TYMaxTag YMax;
    TDigitizationNameTag Name;
    TDigitizationColorTag Color;
    TTimeStampTag TimeStamp;
    TLeftBraceTag LeftBrace;
    TRightBraceTag RightBrace;
    std::vector<const TDataTemplateTag*> Order{&X,         &Y,         &XUnits,    &YUnits, &XMin,
                                               &XMax,      &YMin,      &YMax,      &Name,   &Color,
                                               &TimeStamp, &LeftBrace, &RightBrace};
};

} // namespace

// ---- Tags ----

std::string TDataTemplateTag::BodyValue(TDoublePoint, const TExpansionParams&) const {
    return {};
}

std::string TDataTemplateTag::HeaderValue(const TDigitization&, const TExpansionParams&) const {
    return {};
}

std::string TDataTemplateTag::FooterValue(const TDigitization&, const TExpansionParams&) const {
    return {};
}

const std::vector<const TDataTemplateTag*>& DataTemplateTags() {
    static const TTagSet Tags;
    return Tags.Order;
}

const TDataTemplateTag* FindDataTemplateTag(const std::string& Symbol) {
    for (const TDataTemplateTag* Tag : DataTemplateTags())
        if (SameTextAscii(Tag->Symbol(), Symbol))
            return Tag;
    return nullptr;
}

// ---- TTagParser ----

void TTagParser::SetText(const std::string& Text) {
    std::vector<TItem> Items;
    std::size_t Position = 0;
    while (Position < Text.size()) {
        const std::size_t Open = Text.find('{', Position);
        if (Open == std::string::npos) {
            Items.push_back({Text.substr(Position), nullptr});
            break;
        }
        const std::size_t Close = Text.find('}', Open + 1);
        if (Close == std::string::npos)
            throw ETagParserError("End delimiter not found: " + Quoted(Text.substr(Open + 1)));
        const std::string Symbol = Text.substr(Open + 1, Close - Open - 1);
        const TDataTemplateTag* Tag = FindDataTemplateTag(Symbol);
        if (!Tag)
            throw ETagParserError("Tag symbol not found: " + Quoted(Symbol));
        Items.push_back({Text.substr(Position, Open - Position), Tag});
        Position = Close + 1;
    }
    FItems = std::move(Items);
}

std::string TTagParser::GetText() const {
    std::string Text;
    for (const TItem& Item : FItems) {
        Text += Item.Literal;
        if (Item.Tag)
            Text += Item.Tag->Text();
    }
    return Text;
}

namespace {

// Appends a tag's value: free text as Values says, anything else as it is.
void AppendValue(std::string& Text, const TDataTemplateTag& Tag, const std::string& Value,
                 ETextValues Values) {
    if (!Tag.IsText()) {
        Text += Value;
        return;
    }
    for (const char C : Value) {
        if (static_cast<unsigned char>(C) < 0x20 || C == 0x7F) {
            Text += ' ';
            continue;
        }
        if (Values == ETextValues::Xml) {
            switch (C) {
            case '&': Text += "&amp;"; continue;
            case '<': Text += "&lt;"; continue;
            case '>': Text += "&gt;"; continue;
            case '"': Text += "&quot;"; continue;
            case '\'': Text += "&apos;"; continue;
            default: break;
            }
        }
        Text += C;
    }
}

} // namespace

std::string TTagParser::ExpandBody(TDoublePoint Point, const TExpansionParams& Params,
                                   ETextValues Values) const {
    std::string Text;
    for (const TItem& Item : FItems) {
        Text += Item.Literal;
        if (Item.Tag)
            AppendValue(Text, *Item.Tag, Item.Tag->BodyValue(Point, Params), Values);
    }
    return Text;
}

std::string TTagParser::ExpandHeader(const TDigitization& Digitization,
                                     const TExpansionParams& Params, ETextValues Values) const {
    std::string Text;
    for (const TItem& Item : FItems) {
        Text += Item.Literal;
        if (Item.Tag)
            AppendValue(Text, *Item.Tag, Item.Tag->HeaderValue(Digitization, Params), Values);
    }
    return Text;
}

std::string TTagParser::ExpandFooter(const TDigitization& Digitization,
                                     const TExpansionParams& Params, ETextValues Values) const {
    std::string Text;
    for (const TItem& Item : FItems) {
        Text += Item.Literal;
        if (Item.Tag)
            AppendValue(Text, *Item.Tag, Item.Tag->FooterValue(Digitization, Params), Values);
    }
    return Text;
}

// ---- TDataTemplate ----

TDataTemplate::TDataTemplate(std::string Name) : Name(std::move(Name)) {}

void TDataTemplate::LoadFromStream(TStream& Stream) {
    std::string NewName = StringFromStream(Stream);
    std::string NewExtension = StringFromStream(Stream);
    TTagParser NewHeader;
    TTagParser NewBody;
    TTagParser NewFooter;
    NewHeader.SetText(StringFromStream(Stream));
    NewBody.SetText(StringFromStream(Stream));
    NewFooter.SetText(StringFromStream(Stream));
    Name = std::move(NewName);
    Extension = std::move(NewExtension);
    Header.Assign(NewHeader);
    Body.Assign(NewBody);
    Footer.Assign(NewFooter);
}

void TDataTemplate::SaveToStream(TStream& Stream) const {
    StringToStream(Stream, Name);
    StringToStream(Stream, Extension);
    StringToStream(Stream, HeaderText());
    StringToStream(Stream, BodyText());
    StringToStream(Stream, FooterText());
}

ETextValues TDataTemplate::TextValues() const {
    const auto Lower = [](char C) { return static_cast<char>(C | 0x20); };
    const bool Xml = Extension.size() == 3 && Lower(Extension[0]) == 'x' &&
                     Lower(Extension[1]) == 'm' && Lower(Extension[2]) == 'l';
    return Xml ? ETextValues::Xml : ETextValues::OneLine;
}

std::string TDataTemplate::ExpandBody(TDoublePoint Point, const TExpansionParams& Params) const {
    return Body.ExpandBody(Point, Params, TextValues());
}

std::string TDataTemplate::ExpandHeader(const TDigitization& Digitization,
                                        const TExpansionParams& Params) const {
    return Header.ExpandHeader(Digitization, Params, TextValues());
}

std::string TDataTemplate::ExpandFooter(const TDigitization& Digitization,
                                        const TExpansionParams& Params) const {
    return Footer.ExpandFooter(Digitization, Params, TextValues());
}

void TDataTemplate::SetHeaderText(const std::string& Text) {
    TTagParser Parser;
    Parser.SetText(Text);
    Header.Assign(Parser);
}

void TDataTemplate::SetBodyText(const std::string& Text) {
    TTagParser Parser;
    Parser.SetText(Text);
    Body.Assign(Parser);
}

void TDataTemplate::SetFooterText(const std::string& Text) {
    TTagParser Parser;
    Parser.SetText(Text);
    Footer.Assign(Parser);
}

void TDataTemplate::Assign(const TPersistent& Source) {
    if (auto* Other = dynamic_cast<const TDataTemplate*>(&Source)) {
        if (Other == this)
            return;
        Name = Other->Name;
        Extension = Other->Extension;
        Header.Assign(Other->Header);
        Body.Assign(Other->Body);
        Footer.Assign(Other->Footer);
        return;
    }
    TPersistent::Assign(Source);
}

// ---- TExcelTemplate ----

TExcelTemplate::TExcelTemplate(std::string Name) : TCustomDataTemplate(std::move(Name)) {
    Extension = "xls";
}

void TExcelTemplate::WriteToStream(TStream& Stream) {
    const std::int32_t Count = FCollectedPoints.Count();
    if (Count > TmxNativeExcel::MaxRows)
        throw EExcelError("The spreadsheet format holds at most " +
                          std::to_string(TmxNativeExcel::MaxRows) + " rows; this data set has " +
                          std::to_string(Count) + " output points.");
    TmxNativeExcel Excel;
    const TDoublePoint* Points = FCollectedPoints.Data();
    for (std::int32_t K = 0; K < Count; ++K) {
        Excel.SetRow(static_cast<std::uint32_t>(K) + 1);
        Excel.SetCol(1);
        Excel.WriteNumber(Points[K].X);
        Excel.WriteNumber(Points[K].Y);
    }
    Excel.Close();
    Excel.SaveToStream(Stream);
}

// ---- TDataTemplateList ----

void TDataTemplateList::CheckIndex(std::int32_t Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError("TDataTemplateList: Index out of bounds.");
}

TDataTemplate& TDataTemplateList::Items(std::int32_t Index) const {
    CheckIndex(Index);
    return *FEntries[static_cast<std::size_t>(Index)].second;
}

const std::string& TDataTemplateList::Names(std::int32_t Index) const {
    CheckIndex(Index);
    return FEntries[static_cast<std::size_t>(Index)].first;
}

std::int32_t TDataTemplateList::IndexOf(const std::string& Name) const {
    for (std::int32_t I = Count() - 1; I >= 0; --I)
        if (SameName(FEntries[static_cast<std::size_t>(I)].first, Name))
            return I;
    return -1;
}

TDataTemplate* TDataTemplateList::Find(const std::string& Name) const {
    const std::int32_t Index = IndexOf(Name);
    return Index < 0 ? nullptr : FEntries[static_cast<std::size_t>(Index)].second.get();
}

std::int32_t TDataTemplateList::Add(std::unique_ptr<TDataTemplate> Template) {
    Assert(Template != nullptr, "TDataTemplateList.Add");
    const std::int32_t Index = IndexOf(Template->Name);
    if (Index >= 0) {
        FEntries[static_cast<std::size_t>(Index)].second = std::move(Template);
        return Index;
    }
    std::string Name = Template->Name;
    FEntries.emplace_back(std::move(Name), std::move(Template));
    return Count() - 1;
}

void TDataTemplateList::Delete(const std::string& Name) {
    const std::int32_t Index = IndexOf(Name);
    if (Index >= 0)
        FEntries.erase(FEntries.begin() + Index);
}

void TDataTemplateList::LoadFromStream(TStream& Stream) {
    const std::int32_t Count = ReadInt32(Stream);
    if (Count < 0)
        throw EReadError("Invalid template count " + std::to_string(Count) +
                         " in a template list record.");
    TDataTemplateList Loaded;
    for (std::int32_t I = 0; I < Count; ++I) {
        auto Template = std::make_unique<TDataTemplate>();
        Template->LoadFromStream(Stream);
        Loaded.Add(std::move(Template));
    }
    FEntries = std::move(Loaded.FEntries);
}

void TDataTemplateList::SaveToStream(TStream& Stream) const {
    std::int32_t Stored = 0;
    for (const auto& Entry : FEntries)
        if (!dynamic_cast<const TCustomDataTemplate*>(Entry.second.get()))
            ++Stored;
    WriteInt32(Stream, Stored);
    for (const auto& Entry : FEntries)
        if (!dynamic_cast<const TCustomDataTemplate*>(Entry.second.get()))
            Entry.second->SaveToStream(Stream);
}

} // namespace korvane
