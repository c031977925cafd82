"""Starts the shell probe under Wine on the current X display and checks the
four quadrants of its window pixel by pixel."""
import sys

import screen_check

process, lines = screen_check.start(sys.argv[1], sys.argv[2])
screen_check.check(process, {(100, 100): (255, 0, 0), (299, 100): (0, 255, 0), (100, 299): (0, 0, 255),
                             (299, 299): (255, 255, 0), (150, 150): (255, 0, 0), (250, 250): (255, 255, 0)})
