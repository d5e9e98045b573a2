"""Every python code block of the README runs as written, each in a fresh namespace."""

import os
import pathlib
import re
import subprocess
import sys

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


def test_readme_blocks_type_check_strictly(tmp_path):
    # --strict warns about unneeded "type: ignore" comments, so a refusal the README shows must be one.
    for i, block in enumerate(BLOCKS):
        (tmp_path / f"block{i}.py").write_text(block.values[0], encoding="utf-8")
    env = {k: v for k, v in os.environ.items() if k != "MYPYPATH"}
    result = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--cache-dir=/dev/null", str(tmp_path)],
                            env=env, capture_output=True, text=True)
    assert result.returncode == 0, result.stdout + result.stderr
