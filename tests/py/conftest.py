import pytest

import _telm


@pytest.fixture
def telm():
    return _telm
