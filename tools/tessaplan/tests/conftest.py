import os
import pathlib
import subprocess
import sys

import pytest

# The layout checks are shared with the Python tests.
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[3] /
                       "tests" / "python"))


@pytest.fixture(scope="session")
def executable():
    path = os.environ.get("TESSAPLAN_EXECUTABLE")
    if not path:
        pytest.fail("TESSAPLAN_EXECUTABLE names the program under test; "
                    "run these tests through ctest")
    return path


@pytest.fixture
def tessaplan(executable):
    """Runs the program with the given arguments; returns the completed
    process (text output)."""
    def run(*arguments):
        return subprocess.run([executable, *map(str, arguments)],
                              capture_output=True, text=True, timeout=300)
    return run
