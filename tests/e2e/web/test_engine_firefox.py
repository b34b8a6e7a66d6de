#!/usr/bin/env python3
"""The page in Firefox as a user meets it (engines.py), with its offline rows; its long picture
pass is test_pictures.py."""
import os, sys
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
__import__("engines").main("firefox", {"--rows"})
