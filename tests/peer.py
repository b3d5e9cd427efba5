"""Mean and mode on exact values, the peer the statistics are checked against.

Reads one list per line (items separated by single spaces) from the file named on the command
line and prints, for each, "mean|mode with count". Each item is the Fraction its text spells;
the mean is their exact sum over their count, and both values are rounded once by decimal to
15 significant digits, half to even, then written as C's "%.15g" writes them.
"""
import decimal
import statistics
import sys
from collections import Counter
from fractions import Fraction

SHOWN = decimal.Context(prec=15, rounding=decimal.ROUND_HALF_EVEN,
                        Emax=decimal.MAX_EMAX, Emin=decimal.MIN_EMIN)


def written(value: Fraction) -> str:
    rounded = SHOWN.divide(decimal.Decimal(value.numerator), decimal.Decimal(value.denominator))
    if rounded.is_zero():
        return "0"
    if abs(rounded.adjusted()) < 300:
        # 15 digits survive the trip through a double, so C's own %g can write them.
        return "%.15g" % float(rounded)
    sign, digits, exponent = rounded.normalize(SHOWN).as_tuple()
    text = "".join(map(str, digits))
    order = exponent + len(text) - 1
    mantissa = text[0] + ("." + text[1:] if len(text) > 1 else "")
    return ("-" if sign else "") + f"{mantissa}e{'-' if order < 0 else '+'}{abs(order):02d}"


with open(sys.argv[1], encoding="ascii") as lists:
    for line in lists:
        values = [Fraction(item) for item in line.split(" ")]
        mode = statistics.mode(values)  # the first of the most frequent, as they are first seen
        mean = sum(values, Fraction(0)) / len(values)
        print(f"{written(mean)}|{written(mode)} with {Counter(values)[mode]}")
