"""The installed type stubs match the module, and the examples type-check against them."""

import filecmp
import os
import pathlib
import subprocess
import sys

import _telm

ROOT = pathlib.Path(__file__).resolve().parents[2]
MODULE_DIR = pathlib.Path(_telm.__file__).parent


def run_mypy(*args):
    # MYPYPATH would shadow the installed stubs with the source tree's: make sure it is unset.
    env = {k: v for k, v in os.environ.items() if k != "MYPYPATH"}
    return subprocess.run([sys.executable, "-m", *args], cwd=ROOT, env=env, capture_output=True, text=True)


def test_stub_is_installed_next_to_the_module_and_as_a_stub_package():
    source = ROOT / "src" / "py" / "_telm.pyi"
    for installed in (MODULE_DIR / "_telm.pyi", MODULE_DIR / "_telm-stubs" / "__init__.pyi"):
        assert installed.is_file(), installed
        assert filecmp.cmp(source, installed, shallow=False), f"{installed} differs from {source}"


def test_stubtest_finds_no_difference_between_stub_and_runtime():
    result = run_mypy("mypy.stubtest", "_telm")
    assert result.returncode == 0, result.stdout + result.stderr


def test_examples_type_check_strictly():
    result = run_mypy("mypy", "--strict", "--cache-dir=/dev/null", "examples")
    assert result.returncode == 0, result.stdout + result.stderr


def test_stub_refuses_what_the_module_refuses(tmp_path):
    # Misuse that the module rejects at run time is a type error too, so editors flag it early.
    bad = tmp_path / "bad.py"
    bad.write_text(
        "import _telm\n"
        "_telm.SystemSpec('22')\n"
        "_telm.SystemSpec([2.0, 2.0])\n"
        "_telm.MpsSimulator()\n"
        "_telm.GaussianState(2)\n"
        "class Derived(_telm.Circuit): ...\n"
        "c = _telm.Circuit(_telm.SystemSpec.from_qubits(1))\n"
        "c.run('0.5')\n"
        "n: str = c.n_params()\n"
    )
    result = run_mypy("mypy", "--strict", "--cache-dir=/dev/null", str(bad))
    lines = [line for line in result.stdout.splitlines() if ": error:" in line]
    assert sorted({int(line.split(":")[1]) for line in lines}) == [2, 3, 4, 5, 6, 8, 9], result.stdout
