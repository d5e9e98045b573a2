"""Every example runs to completion in a fresh interpreter and prints what it promises."""

import pathlib
import re
import subprocess
import sys

import pytest

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


def floats(text):
    return [float(v) for v in re.findall(r"-?\d+\.\d+(?:e[-+]?\d+)?", text)]


def check_variational(out):
    energies = [float(line.split()[-1]) for line in out.splitlines() if line.startswith("step")]
    assert energies == sorted(energies, reverse=True) and len(energies) >= 3
    found, exact, gap = floats(out.splitlines()[-1])
    assert exact == pytest.approx(-3.872983, abs=1e-6)  # open 4-site chain, J = 1, g = 0.7
    assert 0 <= gap < 0.05 and found > exact


def check_mps(out):
    assert "GHZ on 60 qubits: max bond dimension 2, norm_sq 1.0000000" in out
    rows = [line.split() for line in out.splitlines() if re.match(r"\s+\d+\s+\d+\s", line)]
    exact_bonds = [int(r[1]) for r in rows]
    assert exact_bonds == sorted(exact_bonds) and exact_bonds[-1] > 8
    assert all(float(r[2]) == pytest.approx(1.0, abs=1e-9) for r in rows)
    assert max(int(r[3]) for r in rows) == 8
    assert float(rows[-1][4]) < 0.999  # truncation discards weight and nothing renormalises


def check_gaussian(out):
    before, after = floats(out.splitlines()[0])
    assert before == pytest.approx(after, abs=1e-12) and before > 1


def check_draw(out):
    assert out.startswith("wrote circuit.svg")


CHECKS = {
    "quickstart.py": lambda out: "SystemSpec(dims=[2, 3])" in out or pytest.fail(out),
    "variational.py": check_variational,
    "mps_chains.py": check_mps,
    "gaussian_interferometer.py": check_gaussian,
    "draw_circuit.py": check_draw,
}


@pytest.mark.parametrize("example", sorted(p.name for p in EXAMPLES.glob("*.py")))
def test_example_runs(example, tmp_path):
    assert example in CHECKS, f"add a check for the new example {example}"
    result = subprocess.run([sys.executable, str(EXAMPLES / example)], cwd=tmp_path, capture_output=True, text=True,
                            timeout=120)
    assert result.returncode == 0, result.stderr
    assert result.stderr == ""
    CHECKS[example](result.stdout)
