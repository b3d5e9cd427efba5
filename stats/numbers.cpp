#include "stats/numbers.h"

#include <algorithm>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Far beyond any order that is accepted, yet far from overflowing when added to a text's length.
constexpr std::int64_t saturatedExponent = 1'000'000'000'000'000LL;

} // namespace

ParsedNumber parseNumber(std::string_view text) noexcept
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    ParsedNumber number;
    if (text.empty()) {
        number.problem = NumberProblem::empty;
        return number;
    }
    const auto refused = [](NumberProblem problem) {
        ParsedNumber refusal;
        refusal.problem = problem;
        return refusal;
    };

    // The text's parts: sign, integer digits, fraction digits, exponent.
    const char *p = text.data();
    const char *const end = p + text.size();
    const auto digitsFrom = [end](const char *from) {
        while (from != end && isDigit(*from))
            ++from;
        return from;
    };
    const bool negative = *p == '-';
    if (negative || *p == '+')
        ++p;
    const char *const integerBegin = p;
    const char *const integerEnd = digitsFrom(integerBegin);
    const char *fractionBegin = integerEnd, *fractionEnd = integerEnd;
    if (fractionBegin != end && *fractionBegin == '.')
        fractionEnd = digitsFrom(++fractionBegin);
    if (integerEnd == integerBegin && fractionEnd == fractionBegin)
        return refused(NumberProblem::notANumber);
    p = fractionEnd;
    std::int64_t exponent = 0;
    if (p != end) {
        if (*p != 'e' && *p != 'E')
            return refused(NumberProblem::notANumber);
        const bool negativeExponent = ++p != end && *p == '-';
        if (p != end && (*p == '-' || *p == '+'))
            ++p;
        if (p == end || digitsFrom(p) != end)
            return refused(NumberProblem::notANumber);
        for (; p != end; ++p)
            exponent = std::min(exponent * 10 + (*p - '0'), saturatedExponent);
        if (negativeExponent)
            exponent = -exponent;
    }

    // The significant digits: from the first that is not 0 to the last that is not.
    const char *first = integerBegin;
    while (first != integerEnd && *first == '0')
        ++first;
    if (first == integerEnd) {
        first = fractionBegin;
        while (first != fractionEnd && *first == '0')
            ++first;
        if (first == fractionEnd)
            return number; // zero, whatever its sign and exponent
    }
    const char *last = fractionEnd;
    while (last != fractionBegin && last[-1] == '0')
        --last;
    const bool lastInFraction = last != fractionBegin;
    if (!lastInFraction) {
        last = integerEnd;
        while (last[-1] == '0')
            --last;
    }
    const bool pointBetween = first < integerEnd && lastInFraction;
    number.negative = negative;
    number.digitCount = qsizetype(last - first) - (pointBetween ? 1 : 0);
    number.exponent = (lastInFraction ? fractionBegin - last : integerEnd - last) + exponent;
    number.significand = std::string_view(first, size_t(last - first));
    const std::int64_t order = number.exponent + number.digitCount - 1;
    if (order > ParsedNumber::maxOrder)
        return refused(NumberProblem::tooLarge);
    if (order < -ParsedNumber::maxOrder)
        return refused(NumberProblem::tooSmall);
    if (number.exponent < -ParsedNumber::maxOrder)
        return refused(NumberProblem::tooPrecise);
    if (number.digitCount <= ParsedNumber::maxCoefficientDigits) {
        for (const char *digit = first; digit != last; ++digit) {
            if (*digit != '.')
                number.coefficient = number.coefficient * 10 + std::uint64_t(*digit - '0');
        }
    }
    return number;
}

QString formatNumber(const ShownNumber &number)
{
    if (number.digits == 0)
        return QStringLiteral("0");
    const QString digits = QString::number(number.digits);
    const auto count = std::int64_t(digits.size());
    const std::int64_t order = number.exponent + count - 1; // the first digit's power of ten
    QString text = number.negative ? QStringLiteral("-") : QString();
    if (order < -4 || order >= ShownNumber::significantDigits) {
        text += digits.front();
        if (count > 1)
            text += u'.' + digits.mid(1);
        text += u'e' + QString(order < 0 ? u'-' : u'+')
                + QString::number(order < 0 ? -order : order).rightJustified(2, u'0');
    } else if (number.exponent >= 0) {
        text += digits + QString(qsizetype(number.exponent), u'0');
    } else if (order >= 0) {
        text += digits.first(qsizetype(order + 1)) + u'.' + digits.mid(qsizetype(order + 1));
    } else {
        text += QStringLiteral("0.") + QString(qsizetype(-order - 1), u'0') + digits;
    }
    return text;
}
