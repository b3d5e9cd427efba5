#pragma once

// The digits of a number that parseNumber accepted, as a GMP integer: what the fuzz targets'
// exact reckoning starts from.

#include "stats/numbers.h"

#include <gmpxx.h>

#include <string>

inline mpz_class digitsOf(const ParsedNumber &number)
{
    if (number.digitCount <= ParsedNumber::maxCoefficientDigits)
        return mpz_class(static_cast<unsigned long>(number.coefficient));
    std::string digits;
    for (const char c : number.significand) {
        if (c != '.')
            digits += c;
    }
    return mpz_class(digits, 10);
}
