#!/usr/bin/env python3
"""The page in Chromium as a user meets it (engines.py), with a few frames; test_sound.py checks
its offline rows."""
import os, sys
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
__import__("engines").main("chromium", {"--pictures"})
