"""Starts the standard-controls demo under Wine on the current X display and
checks the points it names: the panel's bevel, the memo's scroll track and
the focused edit's accent border."""
import sys

import screen_check

process, lines = screen_check.start(sys.argv[1], sys.argv[2])
expected = {}
for words in (line.split() for line in lines):
    if words and words[0] == "sample":
        x, y, r, g, b = map(int, words[1:])
        expected[(x, y)] = (r, g, b)
    elif words and words[0] == "focus":
        expected[(int(words[1]), int(words[2]))] = (0, 120, 215)
assert len(expected) >= 8, lines
screen_check.check(process, expected)
