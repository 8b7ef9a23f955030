#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>

// Leading number of a field's text. Blanks, tabs and line feeds are skipped wherever they stand;
// then a sign, digits, a "." with more digits and an exponent (E or D), or &H hexadecimal or
// &O octal digits. Reading stops at the first character that cannot continue the number, so a
// comma ends it. Without a leading number the value is 0; beyond the range of a double it is
// the largest double of that sign.
double LeadingNumber(QStringView text);
// True when the text begins with a number as LeadingNumber reads it (at least one digit).
bool HasLeadingNumber(QStringView text);

// Shortest decimal text with up to 15 significant digits: whole numbers plain, fractions with
// the locale's decimal separator.
QString CanonicalText(double value, const QLocale& locale = QLocale());

// The number a canonical text denotes: the value at 15 significant digits. It does not depend
// on the locale, so "2.5" typed in any locale counts as 2.5 although a German field shows "2,5".
double CanonicalValue(double value);

// Nearest whole number, halves to the even neighbour (2.5 gives 2, 3.5 gives 4), limited to
// the range of int.
int RoundHalfEven(double value);

// Value of a field: the number its canonical text denotes.
inline double FieldValue(QStringView text) { return CanonicalValue(LeadingNumber(text)); }
