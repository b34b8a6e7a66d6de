#!/usr/bin/env python3
"""The page in Webkit as a user meets it (engines.py): WebKitGTK's MiniBrowser.
Usage: test_engine_webkit.py NATIVE_BUILD"""
import os
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import engines  # noqa: E402

if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    engines.run(sys.argv[1], "webkit", {"--pictures", "--rows"})
