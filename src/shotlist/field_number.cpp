#include "field_number.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>
#include <string>

namespace {

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Value of a digit of the base, or -1.
int digitValue(char16_t c, int base)
{
    static const QString digits = QStringLiteral("0123456789ABCDEF");
    const qsizetype digit = digits.indexOf(QChar(c).toUpper());
    return digit >= 0 && digit < base ? int(digit) : -1;
}

double radixNumber(const std::u16string& text, std::size_t pos, int base)
{
    double value = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = digitValue(text[pos], base);
        if (digit < 0)
            break;
        value = value * base + digit;
    }
    return std::isinf(value) ? std::numeric_limits<double>::max() : value;
}

// Length of the run of digits starting at pos.
std::size_t digitRun(const std::u16string& text, std::size_t pos)
{
    std::size_t end = pos;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    return end - pos;
}

// The leading number and whether the text has one (at least one digit of it).
double readLeadingNumber(QStringView text, bool* found)
{
    *found = false;
    std::u16string s;
    s.reserve(text.size());
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c != u' ' && c != u'\t' && c != u'\n')
            s.push_back(c);
    }

    if (!s.empty() && s[0] == u'&') {
        const int base = s.size() < 2        ? 0
            : (s[1] == u'H' || s[1] == u'h') ? 16
            : (s[1] == u'O' || s[1] == u'o') ? 8
                                             : 0;
        if (base == 0)
            return 0;
        *found = s.size() > 2 && digitValue(s[2], base) >= 0;
        return radixNumber(s, 2, base);
    }

    // Collect the decimal number as plain ASCII, then let the C locale convert it.
    std::string number;
    std::size_t pos = 0;
    if (pos < s.size() && (s[pos] == u'+' || s[pos] == u'-'))
        number.push_back(char(s[pos++]));
    std::size_t digits = digitRun(s, pos);
    number.append(s.begin() + pos, s.begin() + pos + digits);
    pos += digits;
    if (pos < s.size() && s[pos] == u'.') {
        const std::size_t fraction = digitRun(s, pos + 1);
        number.push_back('.');
        number.append(s.begin() + pos + 1, s.begin() + pos + 1 + fraction);
        pos += 1 + fraction;
        digits += fraction;
    }
    if (digits == 0)
        return 0;
    *found = true;
    if (pos < s.size() && (s[pos] == u'E' || s[pos] == u'e' || s[pos] == u'D' || s[pos] == u'd')) {
        std::size_t expPos = pos + 1;
        std::string exponent = "e";
        if (expPos < s.size() && (s[expPos] == u'+' || s[expPos] == u'-'))
            exponent.push_back(char(s[expPos++]));
        const std::size_t expDigits = digitRun(s, expPos);
        if (expDigits > 0)
            number += exponent + std::string(s.begin() + expPos, s.begin() + expPos + expDigits);
    }

    // The classic stream gives the largest double on overflow and rounds underflow towards 0.
    std::istringstream in(number);
    in.imbue(std::locale::classic());
    double value = 0;
    in >> value;
    return value;
}

} // namespace

double LeadingNumber(QStringView text)
{
    bool found = false;
    return readLeadingNumber(text, &found);
}

bool HasLeadingNumber(QStringView text)
{
    bool found = false;
    readLeadingNumber(text, &found);
    return found;
}

QString CanonicalText(double value, const QLocale& locale)
{
    if (value == 0)
        return QStringLiteral("0"); // also for -0
    QString text = QString::number(value, 'G', 15);
    const QString separator = locale.decimalPoint();
    if (separator != QLatin1String("."))
        text.replace(QLatin1Char('.'), separator);
    return text;
}

double CanonicalValue(double value)
{
    return value == 0 ? 0.0 : LeadingNumber(QString::number(value, 'G', 15));
}

int RoundHalfEven(double value)
{
    constexpr double lowest = std::numeric_limits<int>::min();
    constexpr double highest = std::numeric_limits<int>::max();
    return int(std::nearbyint(std::clamp(value, lowest, highest)));
}
