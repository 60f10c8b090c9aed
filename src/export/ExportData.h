#pragma once

#include "core/Errors.h"
#include "export/DataTemplates.h"

#include <memory>
#include <string>

namespace korvane {

class IPrompter;
class TCurveIterator;
class TDigitization;
class TStream;

// A data set whose output cannot be exported, or an output that cannot go where it was sent.
class EExportError : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// Names of the built-in templates.
inline constexpr const char* CommaSeparatedTemplateName = "Comma-separated";
inline constexpr const char* CommaSeparatedWithHeaderTemplateName = "Comma-separated with header";
inline constexpr const char* TabSeparatedTemplateName = "Tab-separated";
inline constexpr const char* XmlTemplateName = "XML";
inline constexpr const char* DxfTemplateName = "DXF";
inline constexpr const char* ExcelTemplateName = "Microsoft Excel";

// Appends the five built-in text templates in order: "Comma-separated",
// "Comma-separated with header", "Tab-separated", "XML", "DXF".
void AddBuiltInTextTemplates(TDataTemplateList& List);
// Appends the spreadsheet template "Microsoft Excel".
void AddExcelTemplate(TDataTemplateList& List);
// What a template list read from the parameter file becomes: the built-in text templates
// when it is empty, then in every case the spreadsheet template.
void CompleteTemplateList(TDataTemplateList& List);
// The five built-in text templates followed by the spreadsheet template.
std::unique_ptr<TDataTemplateList> CreateBuiltInTemplates();

// The output points of Digitization: its parameter set's iterator, restricted to the
// selection when SelectedOnly. Throws EExportError when the parameter set is not complete.
std::unique_ptr<TCurveIterator> NewExportIterator(const TDigitization& Digitization,
                                                  bool SelectedOnly);

// The header as an export writes it: expanded, and made to end with CR LF when it is not
// empty. The footer likewise.
std::string ExportHeaderText(const TDataTemplate& Template, const TDigitization& Digitization,
                             const TExpansionParams& Params);
std::string ExportFooterText(const TDataTemplate& Template, const TDigitization& Digitization,
                             const TExpansionParams& Params);

// What the export dialog previews: the header as written, the bodies of at most MaxPoints
// output points (none without Points), then the footer as expanded, without a line break
// added.
std::string ExportPreviewText(const TDataTemplate& Template, const TDigitization& Digitization,
                              TCurveIterator* Points, const TExpansionParams& Params,
                              int MaxPoints = 3);

// Expands a text template over Points (walked from First): the header, made to end with
// CR LF when it is not empty; one body per point, empty ones skipped; the footer like the
// header. The text is appended to Text.
void ExpandTemplate(const TDataTemplate& Template, const TDigitization& Digitization,
                    TCurveIterator& Points, const TExpansionParams& Params, std::string& Text);
// The same, written to Stream as it is produced.
void ExpandTemplate(const TDataTemplate& Template, const TDigitization& Digitization,
                    TCurveIterator& Points, const TExpansionParams& Params, TStream& Stream);

// Writes the output of Template for Digitization to Stream. A TCustomDataTemplate collects
// the output points (Clear, AddPoint for each) and writes its own file; a text template is
// expanded.
void ExportToStream(TDataTemplate& Template, const TDigitization& Digitization, bool SelectedOnly,
                    const TExpansionParams& Params, TStream& Stream);

// The whole output of a text template as text, for the clipboard. A template that cannot
// copy to the clipboard throws EExportError.
std::string ExportToText(const TDataTemplate& Template, const TDigitization& Digitization,
                         bool SelectedOnly, const TExpansionParams& Params);

// Writes the output to FileName through a temporary file renamed over it, so that a failure
// leaves a previous file as it was. A read-only FileName is offered to Prompter for
// replacing; when it is still read-only afterwards nothing is written and the result is
// false. Errors throw (the previous file stays intact).
bool ExportToFile(TDataTemplate& Template, const TDigitization& Digitization, bool SelectedOnly,
                  const TExpansionParams& Params, const std::string& FileName, IPrompter& Prompter);

} // namespace korvane
