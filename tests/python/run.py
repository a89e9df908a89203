"""The Python module's tests under CTest: pytest on this folder, or the exit status 77 (CTest's
"skipped") with the reason where pytest or NumPy is missing."""

import os
import sys

here = os.path.dirname(os.path.abspath(__file__))
for module, package in (("numpy", "python3-numpy"), ("pytest", "python3-pytest")):
    try:
        __import__(module)
    except ImportError:
        print(f"{module} is missing for {sys.executable} ({package}): the Python tests are "
              "skipped")
        sys.exit(77)

import pytest  # noqa: E402

sys.exit(pytest.main([here, "-q", "-p", "no:cacheprovider", *sys.argv[1:]]))
