#include "ui/common/NumberText.h"

#include "core/Errors.h"

#include <QLocale>
#include <charconv>
#include <string>

namespace korvane {

namespace {

[[noreturn]] void InvalidFloat(const QString& Text) {
    throw EConvertError("'" + Text.toStdString() + "' is not a valid floating point value");
}

} // namespace

double TextToFloat(const QString& Text, QChar DecimalSeparator) {
    const QString Trimmed = Text.trimmed();
    std::string Ascii;
    Ascii.reserve(static_cast<std::size_t>(Trimmed.size()));
    for (const QChar C : Trimmed) {
        if (C == DecimalSeparator)
            Ascii += '.';
        else if ((C >= u'0' && C <= u'9') || C == u'-' || C == u'+' || C == u'e' || C == u'E')
            Ascii += static_cast<char>(C.unicode());
        else
            InvalidFloat(Text);
    }
    // from_chars takes a minus sign but no plus sign.
    std::size_t Start = 0;
    if (!Ascii.empty() && Ascii[0] == '+') {
        Start = 1;
        if (Ascii.size() > 1 && (Ascii[1] == '-' || Ascii[1] == '+'))
            InvalidFloat(Text);
    }
    const char* First = Ascii.data() + Start;
    const char* Last = Ascii.data() + Ascii.size();
    double Value = 0.0;
    const auto Result = std::from_chars(First, Last, Value, std::chars_format::general);
    if (First == Last || Result.ec != std::errc() || Result.ptr != Last || !std::isfinite(Value))
        InvalidFloat(Text);
    return Value;
}

QChar LocaleDecimalSeparator() {
    const QString Separator = QLocale().decimalPoint();
    return Separator.isEmpty() ? QChar(u'.') : Separator.front();
}

char DisplayDecimalSeparator() {
    const QChar Separator = LocaleDecimalSeparator();
    return Separator.unicode() < 0x80 ? static_cast<char>(Separator.unicode()) : '.';
}

} // namespace korvane
