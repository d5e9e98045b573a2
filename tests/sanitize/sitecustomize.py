"""Loaded by every interpreter that scripts/sanitized-python.sh starts (and by their subprocesses).

The leak check runs when the program ends but before the interpreter tears itself down: at that
point everything the interpreter and its extension modules keep for the whole process is still
reachable, so whatever LeakSanitizer reports was really lost, by our module or anyone else. The
check at the very end of the process (after finalization) is turned off, since the interpreter
deliberately leaves its one-time allocations unfreed there.
"""

import atexit
import ctypes
import os
import sys


def _check_leaks():
    sys.stdout.flush()
    sys.stderr.flush()
    if ctypes.CDLL(None).__lsan_do_recoverable_leak_check() != 0:
        os._exit(23)  # the report is on stderr


def _in_main_interpreter():
    try:
        import _xxsubinterpreters as interpreters
    except ImportError:
        return True
    return interpreters.get_current() == interpreters.get_main()


if _in_main_interpreter():  # a sub-interpreter's end is not the program's end
    atexit.register(_check_leaks)
