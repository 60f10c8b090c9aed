#pragma once

#include <QChar>
#include <QString>

namespace korvane {

// The text of a real number as the user types it: optional blanks around it, an optional
// sign, digits with at most one DecimalSeparator, an optional exponent. Anything else (an
// empty text, "-", "1e", a value too large for a double, a '.' where the separator is ',')
// throws EConvertError "'<text>' is not a valid floating point value".
double TextToFloat(const QString& Text, QChar DecimalSeparator);

// The locale's decimal separator.
QChar LocaleDecimalSeparator();

// The decimal separator of displayed and typed numbers: the user's, when it is one byte.
char DisplayDecimalSeparator();

} // namespace korvane
