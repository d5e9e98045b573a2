"""Every python code block of the README runs as written, each in a fresh namespace."""

import pathlib
import re

import pytest

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"


def python_blocks():
    text = README.read_text(encoding="utf-8")
    for match in re.finditer(r"^```python\n(.*?)^```$", text, flags=re.S | re.M):
        line = text.count("\n", 0, match.start()) + 2
        yield pytest.param(match.group(1), line, id=f"line{line}")


BLOCKS = list(python_blocks())


def test_readme_has_python_blocks():
    assert len(BLOCKS) >= 5


@pytest.mark.parametrize("code, line", BLOCKS)
def test_readme_block_runs(code, line):
    # Blank lines keep tracebacks pointing at the README's own line numbers.
    exec(compile("\n" * (line - 1) + code, str(README), "exec"), {"__name__": "__readme__"})
