"""The module's tests' fixtures. BIPEDKIN_LIBRARY names libbipedkin.so and
BIPEDKIN_TOOL the bipedkin tool (ctest sets both); a test that needs one
that is not set is skipped."""

import os

import pytest

from support import CLibrary


@pytest.fixture(scope="session")
def clib():
    path = os.environ.get("BIPEDKIN_LIBRARY")
    if not path:
        pytest.skip("BIPEDKIN_LIBRARY (the path of libbipedkin.so) is not set")
    return CLibrary(path)


@pytest.fixture(scope="session")
def tool():
    path = os.environ.get("BIPEDKIN_TOOL")
    if not path:
        pytest.skip("BIPEDKIN_TOOL (the path of the bipedkin tool) is not set")
    return path
