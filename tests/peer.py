"""Mean and mode by Python's statistics module, the peer the statistics are checked against.

Reads one list per line (items separated by single spaces) from the file named on the command
line and prints, for each, "mean|mode with count", written as liststats writes numbers.
"""
import statistics
import sys
from collections import Counter


def written(value: float) -> str:
    return "%.15g" % (0.0 if value == 0 else value)


with open(sys.argv[1], encoding="ascii") as lists:
    for line in lists:
        values = [float(item) for item in line.split(" ")]
        mode = statistics.mode(values)  # the first of the most frequent, as they are first seen
        print(f"{written(statistics.mean(values))}|{written(mode)} with {Counter(values)[mode]}")
