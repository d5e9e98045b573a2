"""numpy arrays pass as sequences and numpy scalars as their elements and as scalar arguments."""

import json
import math
import subprocess
import sys

import numpy as np
import pytest

from _telm import Circuit, GaussianState, MpsSimulator, SystemSpec

INT_DTYPES = [np.int8, np.int16, np.int32, np.int64, np.uint8, np.uint16, np.uint32, np.uint64]
FLOAT_DTYPES = [np.float16, np.float32, np.float64, np.int64]


@pytest.mark.parametrize("dtype", INT_DTYPES)
def test_integer_arrays_and_scalars_as_unsigned_integers(dtype):
    assert SystemSpec(np.array([2, 3], dtype=dtype)).dims() == [2, 3]
    assert SystemSpec([dtype(2), dtype(4)]).total_dim() == 8
    assert SystemSpec.from_qubits(dtype(3)).n_subsystems() == 3

    c = Circuit(SystemSpec.from_qubits(2))
    c.add_gate("ry", np.array([0], dtype=dtype), dtype(1))
    c.add_gate("cx", (dtype(0), dtype(1)))
    c.measure("zz", "zz", np.arange(2, dtype=dtype))
    c.measure("z1", "z", [dtype(1)])
    c.enter_composite("block", np.array([0, 1], dtype=dtype))
    assert json.loads(c.get_layer(dtype(0)))["nodes"][-1]["targets"] == [0, 1]
    assert c.n_params() == 2
    result = c.run([0.0, math.pi])
    assert result["z1"] == pytest.approx(-1.0) and result["zz"] == pytest.approx(1.0)


@pytest.mark.parametrize("dtype", FLOAT_DTYPES)
def test_numeric_arrays_and_scalars_as_floats(dtype):
    c = Circuit(SystemSpec.from_qubits(1))
    c.add_gate("rx", [0], 0)
    c.measure("z", "z", [0])
    expected = math.cos(float(dtype(2)))
    assert c.run(np.array([2], dtype=dtype))["z"] == pytest.approx(expected, abs=1e-3)
    assert c.run([dtype(2)])["z"] == pytest.approx(expected, abs=1e-3)
    assert c.run_with_state(np.full(3, 2, dtype=dtype))["z"] == pytest.approx(expected, abs=1e-3)

    mps = MpsSimulator.from_qubits(np.uint8(2), chi_max=np.int64(4), singular_value_eps=dtype(0))
    mps.ry(np.int32(0), dtype(2))
    mps.cnot(np.int64(0), np.uint64(1))
    assert mps.max_bond_dim() == 2 and mps.norm_sq() == pytest.approx(1.0)

    g = GaussianState.vacuum(np.int16(2))
    g.displace(np.uint8(0), dtype(2), dtype(-2))
    g.squeeze(np.int64(1), dtype(0))
    g.beamsplitter(np.int8(0), np.int8(1), np.float64(math.pi / 2))
    assert g.homodyne(np.int64(1), "x") == pytest.approx((2.0, 1.0))


def test_float_array_values_are_read_exactly():
    # The whole double reaches the circuit: no rounding through a narrower type on the way.
    c = Circuit(SystemSpec.from_qubits(1))
    c.add_gate("ry", [0], 1)
    c.measure("z", "z", [0])
    angle = np.float64(0.1) + np.float64(2.0**-40)
    assert c.run(np.array([9.0, angle])) == c.run([9.0, float(angle)])
    assert c.run(np.array([9.0, angle])) != c.run([9.0, 0.1])
    narrow = np.float32(0.1)
    assert c.run(np.array([9.0, narrow], dtype=np.float32)) == c.run([9.0, float(narrow)])


def test_largest_uint64_passes_and_negative_numpy_integers_overflow():
    spec = SystemSpec([2])
    c = Circuit(spec)
    c.add_gate("rx", [0], np.uint64(2**64 - 1))
    assert c.n_params() == 2**64
    with pytest.raises(OverflowError):
        SystemSpec(np.array([2, -2], dtype=np.int64))
    with pytest.raises(OverflowError):
        MpsSimulator.from_qubits(np.int64(-1))


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: SystemSpec(np.array([2.0, 3.0])), "argument 'dims': 'numpy.float64' object cannot be interpreted"),
        (lambda: SystemSpec(np.int64(2)), "argument 'dims': 'numpy.int64' object cannot be converted to 'Sequence'"),
        (lambda: SystemSpec(np.array(2)), "argument 'dims': "),  # a 0-d array has no elements to iterate
        (lambda: SystemSpec(np.array([[2, 2]])), "argument 'dims': "),  # rows are not integers
        (lambda: SystemSpec.from_qubits(np.float64(2.0)), "argument 'n_qubits': 'numpy.float64' object cannot be"),
        (lambda: Circuit(SystemSpec([2])).run(np.zeros((2, 2))), "argument 'parameters': "),
        (lambda: Circuit(SystemSpec([2])).run(np.array(["0.5"])), "argument 'parameters': "),
    ],
)
def test_unsuitable_numpy_values_raise_type_error_naming_the_argument(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value).startswith(message)


def test_module_does_not_import_numpy():
    # numpy values work through the interpreter's sequence, index and float protocols alone.
    code = "import sys, _telm; _telm.Circuit(_telm.SystemSpec([2])).run([0.5]); print('numpy' in sys.modules)"
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert result.stdout.strip() == "False"
