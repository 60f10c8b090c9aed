#pragma once

#include "core/DoublePoints.h"
#include "core/Errors.h"
#include "core/Formats.h"
#include "core/Persistent.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace korvane {

class TStream;
class TDigitization;

// A section text that does not parse: "End delimiter not found: 'X'" or
// "Tag symbol not found: 'Foo'".
class ETagParserError : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// The sections of a template, as a bit set.
enum ETemplateSection : unsigned {
    tsBody = 1,
    tsHeader = 2,
    tsFooter = 4,
    tsAllSections = tsBody | tsHeader | tsFooter,
};

// What an expansion takes from the open image: the unit texts of the two axes, their number
// formats and the decimal separator.
struct TExpansionParams {
    TStringPoint Units;
    TCoordFormatPair Formats;
    char DecimalSeparator = '.';
};

// A placeholder of a template section, written "{Symbol}". Each tag is a single shared
// instance (DataTemplateTags); a tag asked for a section it does not serve answers "".
class TDataTemplateTag {
public:
    TDataTemplateTag() = default;
    TDataTemplateTag(const TDataTemplateTag&) = delete;
    TDataTemplateTag& operator=(const TDataTemplateTag&) = delete;
    virtual ~TDataTemplateTag() = default;

    // "{" + Symbol + "}": how the tag is written in a template.
    virtual std::string Text() const { return "{" + Symbol() + "}"; }
    virtual std::string Symbol() const = 0;
    // The caption in the export dialog's insert menu.
    virtual std::string Description() const = 0;
    virtual std::string BodyValue(TDoublePoint Point, const TExpansionParams& Params) const;
    virtual std::string HeaderValue(const TDigitization& Digitization,
                                    const TExpansionParams& Params) const;
    virtual std::string FooterValue(const TDigitization& Digitization,
                                    const TExpansionParams& Params) const;
    // Where the tag is offered in the insert menu: a set of ETemplateSection bits.
    virtual unsigned Sections() const = 0;
    // Whether the tag's values are free text (units, names) rather than numbers or braces.
    virtual bool IsText() const { return false; }
};

// How free-text values go into a section: always on one line (control characters such as
// line breaks and tabs become spaces, since one would break the file's rows), and in XML with
// its special characters written as entities.
enum class ETextValues { OneLine, Xml };

// Base of the literal-brace tags: offered in every section.
class TBuiltInTag : public TDataTemplateTag {
public:
    unsigned Sections() const override { return tsAllSections; }
};

// The thirteen tags in lookup and menu order: X, Y, XU, YU, XMin, XMax, YMin, YMax,
// DataSetName, DataSetColor, TimeStamp, LB, RB.
const std::vector<const TDataTemplateTag*>& DataTemplateTags();
// The first tag whose symbol equals Symbol without regard to ASCII letter case; null if none.
const TDataTemplateTag* FindDataTemplateTag(const std::string& Symbol);

// One section of a template parsed into pairs of literal text and tag (or none).
class TTagParser {
public:
    struct TItem {
        std::string Literal;
        const TDataTemplateTag* Tag = nullptr;
        friend bool operator==(const TItem&, const TItem&) = default;
    };

    // Parses Text. A "{" starts a placeholder that runs to the next "}"; there is no escape
    // ("{LB}" and "{RB}" stand for braces) and a lone "}" is literal text. Throws
    // ETagParserError "End delimiter not found: '...'" for a "{" without "}" and
    // "Tag symbol not found: '...'" for an unknown symbol; the parser then keeps its items.
    void SetText(const std::string& Text);
    // The literals and the tags' Text in order: tags read back in their canonical spelling.
    std::string GetText() const;
    void Assign(const TTagParser& Other) { FItems = Other.FItems; }
    void Clear() { FItems.clear(); }

    const std::vector<TItem>& Items() const { return FItems; }

    std::string ExpandBody(TDoublePoint Point, const TExpansionParams& Params,
                           ETextValues Text = ETextValues::OneLine) const;
    std::string ExpandHeader(const TDigitization& Digitization, const TExpansionParams& Params,
                             ETextValues Text = ETextValues::OneLine) const;
    std::string ExpandFooter(const TDigitization& Digitization, const TExpansionParams& Params,
                             ETextValues Text = ETextValues::OneLine) const;

private:
    std::vector<TItem> FItems;
};

// How the output points of a digitization become text: a header, a body per output point
// and a footer. Extension is the file name extension without the dot.
//
// Record: Name, Extension, header text, body text, footer text (StringToStream each).
class TDataTemplate : public TPersistent {
public:
    explicit TDataTemplate(std::string Name = {});
    TDataTemplate(const TDataTemplate&) = delete;
    TDataTemplate& operator=(const TDataTemplate&) = delete;
    ~TDataTemplate() override = default;

    std::string Name;
    std::string Extension = "txt";
    TTagParser Header;
    TTagParser Body;
    TTagParser Footer;

    // Reads the record; a section that does not parse throws and leaves the template as it
    // was.
    virtual void LoadFromStream(TStream& Stream);
    virtual void SaveToStream(TStream& Stream) const;
    virtual std::string ExpandBody(TDoublePoint Point, const TExpansionParams& Params) const;
    virtual std::string ExpandHeader(const TDigitization& Digitization,
                                     const TExpansionParams& Params) const;
    virtual std::string ExpandFooter(const TDigitization& Digitization,
                                     const TExpansionParams& Params) const;
    virtual bool CanCopyToClipboard() const { return true; }
    // XML for the extension "xml" (any letter case), else one line.
    ETextValues TextValues() const;

    // Parse Text into the section; a parse error propagates and the section stays as it was.
    void SetHeaderText(const std::string& Text);
    void SetBodyText(const std::string& Text);
    void SetFooterText(const std::string& Text);
    std::string HeaderText() const { return Header.GetText(); }
    std::string BodyText() const { return Body.GetText(); }
    std::string FooterText() const { return Footer.GetText(); }

    // From any TDataTemplate: Name, Extension and the three sections. Other sources fail
    // with EConvertError.
    void Assign(const TPersistent& Source) override;
};

// A template that collects the output points and writes a file of its own format instead
// of expanding text: Clear, AddPoint for each output point, then WriteToStream.
class TCustomDataTemplate : public TDataTemplate {
public:
    using TDataTemplate::TDataTemplate;

    virtual void Clear() {}
    virtual void AddPoint(TDoublePoint Point) = 0;
    virtual void WriteToStream(TStream& Stream) = 0;
};

// Writes the collected points as a spreadsheet file: point k in row k, X in column 0 and Y
// in column 1. It has no record of its own and cannot copy to the clipboard.
class TExcelTemplate : public TCustomDataTemplate {
public:
    explicit TExcelTemplate(std::string Name = {});

    const TDoublePointArray& CollectedPoints() const { return FCollectedPoints; }

    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream&) const override {}
    bool CanCopyToClipboard() const override { return false; }
    void Clear() override { FCollectedPoints.Clear(); }
    void AddPoint(TDoublePoint Point) override { FCollectedPoints.Add(Point); }
    // Throws EExcelError, writing nothing, when there are more points than spreadsheet rows.
    void WriteToStream(TStream& Stream) override;

private:
    TDoublePointArray FCollectedPoints{50};
};

// The export templates, in order, each under the name it was first added with. Names are
// compared without regard to letter case. The list owns its templates.
//
// Record: the number of templates that are not TCustomDataTemplates (32-bit), then the
// record of each of them in list order.
class TDataTemplateList : public TPersistent {
public:
    TDataTemplateList() = default;
    TDataTemplateList(const TDataTemplateList&) = delete;
    TDataTemplateList& operator=(const TDataTemplateList&) = delete;
    ~TDataTemplateList() override = default;

    std::int32_t Count() const { return static_cast<std::int32_t>(FEntries.size()); }
    // EListError outside 0 .. Count - 1.
    TDataTemplate& Items(std::int32_t Index) const;
    const std::string& Names(std::int32_t Index) const;
    // The last entry whose name equals Name without regard to letter case; -1 if none.
    std::int32_t IndexOf(const std::string& Name) const;
    // The template stored under Name, or null.
    TDataTemplate* Find(const std::string& Name) const;
    // Replaces the template of an entry with the same name in place (the entry keeps its
    // position and name), or appends. Returns the entry's index.
    std::int32_t Add(std::unique_ptr<TDataTemplate> Template);
    // Removes the entry found by IndexOf; nothing when there is none.
    void Delete(const std::string& Name);
    void Clear() { FEntries.clear(); }

    // Replaces the list with the record's templates (all TDataTemplates). A damaged record
    // or a section that does not parse throws and leaves the list as it was.
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) const;

private:
    void CheckIndex(std::int32_t Index) const;

    std::vector<std::pair<std::string, std::unique_ptr<TDataTemplate>>> FEntries;
};

} // namespace korvane
