import weakref

import pytest

from _telm import SystemSpec

INVALID_ONE = "invalid subsystem dimension 1: must be \u2265 2"
OVERFLOW = "total Hilbert space dimension overflows usize"


@pytest.mark.parametrize(
    "make, dims, total, text",
    [
        (lambda: SystemSpec([2, 3]), [2, 3], 6, "SystemSpec(dims=[2, 3])"),
        (lambda: SystemSpec(dims=(2, 2)), [2, 2], 4, "SystemSpec(dims=[2, 2])"),
        (lambda: SystemSpec(range(2, 5)), [2, 3, 4], 24, "SystemSpec(dims=[2, 3, 4])"),
        (lambda: SystemSpec([]), [], 1, "SystemSpec(dims=[])"),
        (lambda: SystemSpec.from_qubits(0), [], 1, "SystemSpec(dims=[])"),
        (lambda: SystemSpec.from_qubits(3), [2, 2, 2], 8, "SystemSpec(dims=[2, 2, 2])"),
        (lambda: SystemSpec.from_qubits(n_qubits=63), [2] * 63, 2**63, None),
        (lambda: SystemSpec([2**32, 2**31]), [2**32, 2**31], 2**63, None),
    ],
)
def test_queries(make, dims, total, text):
    spec = make()
    assert spec.dims() == dims
    assert spec.n_subsystems() == len(dims)
    assert spec.total_dim() == total
    if text is not None:
        assert repr(spec) == text


def test_dims_returns_a_new_list():
    spec = SystemSpec([2, 3])
    dims = spec.dims()
    dims.append(5)
    assert spec.dims() == [2, 3] and spec.dims() is not spec.dims()


@pytest.mark.parametrize(
    "make, message",
    [
        (lambda: SystemSpec([2, 1]), INVALID_ONE),
        (lambda: SystemSpec([2, 1, 0]), INVALID_ONE),
        (lambda: SystemSpec([1, 2**32, 2**32]), INVALID_ONE),
        (lambda: SystemSpec([2**32, 2**32]), OVERFLOW),
        (lambda: SystemSpec.from_qubits(64), OVERFLOW),
        (lambda: SystemSpec.from_qubits(2**64 - 1), OVERFLOW),  # refused without building a list
    ],
)
def test_library_errors_are_runtime_errors(make, message):
    with pytest.raises(RuntimeError) as info:
        make()
    assert str(info.value) == message
    assert type(info.value) is RuntimeError


def test_signatures():
    assert SystemSpec.__text_signature__ == "(dims)"
    assert SystemSpec.from_qubits.__text_signature__ == "(n_qubits)"
    for name in ("dims", "n_subsystems", "total_dim"):
        assert getattr(SystemSpec, name).__text_signature__ == "($self)"


def test_immutable_instances():
    spec = SystemSpec([2])
    with pytest.raises(AttributeError):
        spec.extra = 1
    with pytest.raises(TypeError):
        weakref.ref(spec)
    assert spec != SystemSpec([2]) and spec == spec
