import math
import weakref

import pytest

from _telm import MpsSimulator

OUT_OF_RANGE = "subsystem index {} out of range (system has {} subsystems)"
NEAREST = "MpsSimulator currently supports nearest-neighbor CNOT with target = control + 1"
ZERO_SITES = "not yet implemented: zero-site MPS"


def test_fresh_chain_queries_and_repr():
    sim = MpsSimulator.from_qubits(3)
    assert sim.n_qubits() == 3
    assert sim.norm_sq() == 1.0 and type(sim.norm_sq()) is float
    assert sim.max_bond_dim() == 1
    assert repr(sim) == "MpsSimulator(n_qubits=3, center=0, max_bond_dim=1)"


def test_signatures_and_class_traits():
    assert MpsSimulator.from_qubits.__text_signature__ == "(n_qubits, chi_max=64, singular_value_eps=1e-10)"
    expected = {
        "n_qubits": "($self)",
        "h": "($self, qubit)",
        "ry": "($self, qubit, theta)",
        "cnot": "($self, control, target)",
        "norm_sq": "($self)",
        "max_bond_dim": "($self)",
    }
    for name, signature in expected.items():
        assert getattr(MpsSimulator, name).__text_signature__ == signature, name
    assert [n for n in MpsSimulator.__dict__ if not n.startswith("__")] == ["from_qubits", *expected]
    with pytest.raises(TypeError) as info:
        MpsSimulator()
    assert str(info.value) == "No constructor defined for MpsSimulator"
    sim = MpsSimulator.from_qubits(1)
    with pytest.raises(AttributeError):
        sim.extra = 1
    with pytest.raises(TypeError):
        weakref.ref(sim)


@pytest.mark.parametrize(
    "kwargs, bond, norm",
    [
        ({}, 2, 1.0),
        ({"chi_max": 1}, 1, 0.5),
        ({"chi_max": 0}, 1, 0.5),  # at least one singular value is kept
        ({"singular_value_eps": 0.8}, 1, 0.5),  # absolute cut, no renormalisation
        ({"chi_max": 2, "singular_value_eps": -1.0}, 2, 1.0),
    ],
)
def test_bell_pair_and_truncation(kwargs, bond, norm):
    sim = MpsSimulator.from_qubits(2, **kwargs)
    assert sim.h(0) is None
    assert sim.cnot(0, 1) is None
    assert sim.max_bond_dim() == bond
    assert sim.norm_sq() == pytest.approx(norm, abs=1e-14)
    assert repr(sim) == f"MpsSimulator(n_qubits=2, center=1, max_bond_dim={bond})"


def test_ry_pi_flips_and_cnot_then_flips_the_target():
    sim = MpsSimulator.from_qubits(3)
    sim.ry(0, math.pi)
    assert sim.norm_sq() == pytest.approx(1.0, abs=1e-15)
    sim.cnot(control=0, target=1)  # |110>: still a product state
    sim.cnot(1, 2)  # |111>
    assert sim.max_bond_dim() == 1
    assert sim.norm_sq() == pytest.approx(1.0, abs=1e-15)
    assert repr(sim) == "MpsSimulator(n_qubits=3, center=2, max_bond_dim=1)"


def test_ghz_chain_against_known_weight():
    n = 12
    sim = MpsSimulator.from_qubits(n, chi_max=8)
    sim.h(0)
    for q in range(n - 1):
        sim.cnot(q, q + 1)
    assert sim.max_bond_dim() == 2
    assert sim.norm_sq() == pytest.approx(1.0, abs=1e-12)
    # A moderately entangled brickwork, truncated: the kept weight never exceeds 1.
    sim = MpsSimulator.from_qubits(n, chi_max=4)
    for layer in range(8):
        for q in range(n):
            sim.ry(q, 0.3 + 0.1 * q + layer)
        for q in range(layer % 2, n - 1, 2):
            sim.cnot(q, q + 1)
    assert sim.max_bond_dim() == 4
    assert 0.0 < sim.norm_sq() <= 1.0 + 1e-12


def test_errors_leave_the_chain_unchanged():
    sim = MpsSimulator.from_qubits(3)
    sim.h(1)
    before = repr(sim), sim.norm_sq()
    for control, target in [(1, 0), (0, 2), (0, 0), (2**64 - 1, 0)]:
        with pytest.raises(ValueError) as info:
            sim.cnot(control, target)
        assert str(info.value) == NEAREST
    with pytest.raises(RuntimeError) as info:
        sim.cnot(2, 3)
    assert str(info.value) == OUT_OF_RANGE.format(3, 3)
    with pytest.raises(RuntimeError) as info:
        sim.h(3)
    assert str(info.value) == OUT_OF_RANGE.format(3, 3)
    with pytest.raises(RuntimeError) as info:
        sim.ry(7, 0.5)
    assert str(info.value) == OUT_OF_RANGE.format(7, 3)
    assert (repr(sim), sim.norm_sq()) == before


def test_factory_errors():
    with pytest.raises(RuntimeError) as info:
        MpsSimulator.from_qubits(0)
    assert str(info.value) == ZERO_SITES
    with pytest.raises(OverflowError):
        MpsSimulator.from_qubits(2, chi_max=-1)
    with pytest.raises(OverflowError):
        MpsSimulator.from_qubits(2**64)
    with pytest.raises(TypeError):
        MpsSimulator.from_qubits(2, singular_value_eps="small")
    with pytest.raises(TypeError):
        MpsSimulator.from_qubits(2, 64, 1e-10, 5)
    # A chain too long to store is refused, not attempted.
    with pytest.raises((RuntimeError, MemoryError)):
        MpsSimulator.from_qubits(2**63)


def test_non_finite_angles_return():
    sim = MpsSimulator.from_qubits(3)
    sim.ry(0, float("nan"))
    sim.cnot(0, 1)
    sim.cnot(1, 2)
    assert math.isnan(sim.norm_sq())
    sim = MpsSimulator.from_qubits(2)
    sim.ry(0, float("inf"))
    sim.cnot(0, 1)
    assert sim.max_bond_dim() >= 1


def test_borrows_refuse_reentry_during_conversion():
    sim = MpsSimulator.from_qubits(2)

    class ReadsChain:
        def __float__(self):
            sim.norm_sq()
            return 0.5

    with pytest.raises(RuntimeError) as info:
        sim.ry(0, ReadsChain())
    assert str(info.value) == "Already mutably borrowed"
    assert repr(sim) == "MpsSimulator(n_qubits=2, center=0, max_bond_dim=1)"
