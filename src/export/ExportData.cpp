#include "export/ExportData.h"

#include "core/AtomicFile.h"
#include "core/ReadOnlyFiles.h"
#include "core/Streams.h"
#include "document/Digitizations.h"
#include "output/ApproximatorParams.h"
#include "output/CurveIterators.h"

namespace korvane {

namespace {

std::unique_ptr<TDataTemplate> TextTemplate(const char* Name, const char* Extension,
                                            const std::string& Header, const std::string& Body,
                                            const std::string& Footer) {
    auto Template = std::make_unique<TDataTemplate>(Name);
    Template->Extension = Extension;
    Template->SetHeaderText(Header);
    Template->SetBodyText(Body);
    Template->SetFooterText(Footer);
    return Template;
}

// DXF lines: each followed by CR LF, group codes right-aligned to three characters.
std::string DxfLines(std::initializer_list<const char*> Lines) {
    std::string Text;
    for (const char* Line : Lines) {
        Text += Line;
        Text += "\r\n";
    }
    return Text;
}

void EndWithLineBreak(std::string& Text) {
    if (!Text.empty() && !Text.ends_with("\r\n"))
        Text += "\r\n";
}

// The text steps, handing each piece to Output as it is produced.
template <class TOutput>
void ExpandTo(const TDataTemplate& Template, const TDigitization& Digitization,
              TCurveIterator& Points, const TExpansionParams& Params, TOutput&& Output) {
    const std::string Header = ExportHeaderText(Template, Digitization, Params);
    if (!Header.empty())
        Output(Header);
    for (Points.First(); !Points.IsDone(); Points.Next()) {
        const std::string Body = Template.ExpandBody(Points.CurrentPoint(), Params);
        if (!Body.empty())
            Output(Body);
    }
    const std::string Footer = ExportFooterText(Template, Digitization, Params);
    if (!Footer.empty())
        Output(Footer);
}

} // namespace

void AddBuiltInTextTemplates(TDataTemplateList& List) {
    List.Add(TextTemplate(CommaSeparatedTemplateName, "csv", "", "{X},{Y}\r\n", ""));
    List.Add(TextTemplate(CommaSeparatedWithHeaderTemplateName, "txt",
                          "Data for {DataSetName}\r\n"
                          "Created on {TimeStamp}\r\n"
                          "X values range from {XMin} to {XMax}\r\n"
                          "Y values range from {YMin} to {YMax}\r\n",
                          "{X} {XU},{Y} {YU}\r\n", ""));
    List.Add(TextTemplate(TabSeparatedTemplateName, "txt", "", "{X}\t{Y}\r\n", ""));
    List.Add(TextTemplate(XmlTemplateName, "xml", "<DATA XUnits=\"{XU}\" YUnits=\"{YU}\">\r\n",
                          "  <POINT><X>{X}</X><Y>{Y}</Y></POINT>\r\n", "</DATA>"));
    const std::string DxfHeader =
        DxfLines({"  0", "SECTION",    "  2", "HEADER",   "  9", "$LUNITS", " 70", "  2",
                  "  9", "$LUPREC",    " 70", "  5",      "  9", "$EXTMIN", " 10", "{XMin}",
                  " 20", "{YMin}",     "  9", "$EXTMAX",  " 10", "{XMax}",  " 20", "{YMax}",
                  "  9", "$LIMMIN",    " 10", "{XMin}",   " 20", "{YMin}",  "  9", "$LIMMAX",
                  " 10", "{XMax}",     " 20", "{YMax}",   "  0", "ENDSEC",  "  0", "SECTION",
                  "  2", "TABLES",     "  0", "TABLE",    "  2", "LAYER",   " 70", "  1",
                  "  0", "LAYER",      "  2", "KORVANE",  " 70", "  0",     " 62", "  7",
                  "  6", "CONTINUOUS", "  0", "ENDTAB",   "  0", "ENDSEC",  "  0", "SECTION",
                  "  2", "ENTITIES",   "  0", "POLYLINE", "  8", "KORVANE", " 66", "  1",
                  " 70", "  0"});
    const std::string DxfBody =
        DxfLines({"  0", "VERTEX", "  8", "KORVANE", " 10", "{X}", " 20", "{Y}"});
    const std::string DxfTrailer =
        DxfLines({"  0", "SEQEND", "  8", "KORVANE", "  0", "ENDSEC", "  0", "EOF"});
    List.Add(TextTemplate(DxfTemplateName, "dxf", DxfHeader, DxfBody, DxfTrailer));
}

void AddExcelTemplate(TDataTemplateList& List) {
    List.Add(std::make_unique<TExcelTemplate>(ExcelTemplateName));
}

void CompleteTemplateList(TDataTemplateList& List) {
    if (List.Count() == 0)
        AddBuiltInTextTemplates(List);
    AddExcelTemplate(List);
}

std::unique_ptr<TDataTemplateList> CreateBuiltInTemplates() {
    auto List = std::make_unique<TDataTemplateList>();
    CompleteTemplateList(*List);
    return List;
}

std::unique_ptr<TCurveIterator> NewExportIterator(const TDigitization& Digitization,
                                                  bool SelectedOnly) {
    const TApproximatorParamSet& ParamSet = Digitization.ParamSet();
    if (!ParamSet.IsComplete())
        throw EExportError("The data set '" + Digitization.Name() +
                           "' has no output points to export: it has no points or its output "
                           "range is not set.");
    std::unique_ptr<TCurveIterator> Points = ParamSet.NewIterator();
    if (SelectedOnly)
        Points = std::make_unique<TSelectionIterator>(std::move(Points), Digitization.Selection());
    return Points;
}

std::string ExportHeaderText(const TDataTemplate& Template, const TDigitization& Digitization,
                             const TExpansionParams& Params) {
    std::string Header = Template.ExpandHeader(Digitization, Params);
    EndWithLineBreak(Header);
    return Header;
}

std::string ExportFooterText(const TDataTemplate& Template, const TDigitization& Digitization,
                             const TExpansionParams& Params) {
    std::string Footer = Template.ExpandFooter(Digitization, Params);
    EndWithLineBreak(Footer);
    return Footer;
}

std::string ExportPreviewText(const TDataTemplate& Template, const TDigitization& Digitization,
                              TCurveIterator* Points, const TExpansionParams& Params,
                              int MaxPoints) {
    std::string Text = ExportHeaderText(Template, Digitization, Params);
    if (Points) {
        int Shown = 0;
        for (Points->First(); !Points->IsDone() && Shown < MaxPoints; Points->Next(), ++Shown)
            Text += Template.ExpandBody(Points->CurrentPoint(), Params);
    }
    Text += Template.ExpandFooter(Digitization, Params);
    return Text;
}

void ExpandTemplate(const TDataTemplate& Template, const TDigitization& Digitization,
                    TCurveIterator& Points, const TExpansionParams& Params, std::string& Text) {
    ExpandTo(Template, Digitization, Points, Params,
             [&Text](const std::string& Piece) { Text += Piece; });
}

void ExpandTemplate(const TDataTemplate& Template, const TDigitization& Digitization,
                    TCurveIterator& Points, const TExpansionParams& Params, TStream& Stream) {
    ExpandTo(Template, Digitization, Points, Params, [&Stream](const std::string& Piece) {
        Stream.WriteBuffer(Piece.data(), Piece.size());
    });
}

void ExportToStream(TDataTemplate& Template, const TDigitization& Digitization, bool SelectedOnly,
                    const TExpansionParams& Params, TStream& Stream) {
    const std::unique_ptr<TCurveIterator> Points = NewExportIterator(Digitization, SelectedOnly);
    if (auto* Custom = dynamic_cast<TCustomDataTemplate*>(&Template)) {
        Custom->Clear();
        for (Points->First(); !Points->IsDone(); Points->Next())
            Custom->AddPoint(Points->CurrentPoint());
        Custom->WriteToStream(Stream);
        return;
    }
    ExpandTemplate(Template, Digitization, *Points, Params, Stream);
}

std::string ExportToText(const TDataTemplate& Template, const TDigitization& Digitization,
                         bool SelectedOnly, const TExpansionParams& Params) {
    if (!Template.CanCopyToClipboard() || dynamic_cast<const TCustomDataTemplate*>(&Template))
        throw EExportError("The template '" + Template.Name +
                           "' cannot copy its output to the clipboard.");
    const std::unique_ptr<TCurveIterator> Points = NewExportIterator(Digitization, SelectedOnly);
    std::string Text;
    ExpandTemplate(Template, Digitization, *Points, Params, Text);
    return Text;
}

bool ExportToFile(TDataTemplate& Template, const TDigitization& Digitization, bool SelectedOnly,
                  const TExpansionParams& Params, const std::string& FileName,
                  IPrompter& Prompter) {
    ConfirmReadOnlyOverwrite(FileName, Prompter);
    if (IsReadOnlyFile(FileName))
        return false;
    WriteFileAtomically(FileName, [&](TStream& Stream) {
        ExportToStream(Template, Digitization, SelectedOnly, Params, Stream);
    });
    return true;
}

} // namespace korvane
