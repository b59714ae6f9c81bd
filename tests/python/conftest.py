"""Fixtures shared by the Python tests."""

import subprocess
import sys
import textwrap

import pytest

# The starts of the reports of AddressSanitizer and UBSan, which the
# sanitizer build's modules write to standard error.
SANITIZER_REPORTS = ("ERROR: AddressSanitizer", "runtime error:")


# Helpers the code run by own_interpreter may call.
PRELUDE = """
import numpy as np

def misaligned(values, dtype):
    \"\"\"A copy of `values` as a C-ordered array of `dtype` whose elements
    start one byte past an aligned address.\"\"\"
    values = np.asarray(values, dtype=dtype)
    buffer = np.zeros(values.nbytes + 1, dtype=np.uint8)
    view = buffer[1:].view(dtype).reshape(values.shape)
    view[...] = values
    assert not view.flags.aligned
    return view
"""


def _run_in_own_interpreter(code):
    """Run `code` (dedented, after PRELUDE) in a new interpreter with this
    one's environment, assert that it exits normally without a sanitizer
    report, and return what it printed."""
    source = PRELUDE + textwrap.dedent(code)
    result = subprocess.run([sys.executable, "-c", source],
                            capture_output=True, text=True, check=False)
    assert result.returncode == 0, result.stderr
    for report in SANITIZER_REPORTS:
        assert report not in result.stderr, result.stderr
    return result.stdout


@pytest.fixture
def own_interpreter():
    """A runner of code in a new interpreter: a crash or a sanitizer report
    there fails the one test instead of ending the whole run."""
    return _run_in_own_interpreter
