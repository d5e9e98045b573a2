"""Sizes that cannot be stored are refused before anything is allocated; objects stay usable."""

import os

import pytest

from _telm import Circuit, GaussianState, MpsSimulator, SystemSpec

PHYSICAL = os.sysconf("SC_PHYS_PAGES") * os.sysconf("SC_PAGE_SIZE")


@pytest.mark.parametrize(
    "dims",
    [[2] * 40, [2] * 63, [2**32, 2**31], [3] * 30, [PHYSICAL]],
    ids=["40 qubits", "63 qubits", "two huge qudits", "30 qutrits", "one level per byte"],
)
def test_state_vectors_beyond_memory_raise_memory_error(dims):
    c = Circuit(SystemSpec(dims))
    c.enter_composite("block", [0])
    for call in (lambda: c.run([]), lambda: c.run_with_state([]), c.reset_state):
        with pytest.raises(MemoryError):
            call()
    # nothing was half-made: the object still answers and still refuses the same way
    assert c.n_params() == 0 and c.debug_instructions() == []
    assert c.get_layer(0) == '{"nodes":[{"id":1,"name":"block","is_composite":true,"targets":[0]}]}'
    with pytest.raises(MemoryError):
        c.run_with_state([])


@pytest.mark.parametrize("n", [PHYSICAL // 64, 2**40])
def test_mps_chains_beyond_memory_raise_memory_error(n):
    with pytest.raises(MemoryError, match=f"^an MPS of {n} qubits does not fit in memory$"):
        MpsSimulator.from_qubits(n)
    assert MpsSimulator.from_qubits(3).norm_sq() == pytest.approx(1.0)


def test_mps_chains_beyond_addressing_keep_their_library_error():
    with pytest.raises(RuntimeError, match="too large to store"):
        MpsSimulator.from_qubits(2**40 + 1)


@pytest.mark.parametrize("n", [2**15, 2**20, 2**28])
def test_gaussian_covariances_beyond_memory_raise_memory_error(n):
    with pytest.raises(MemoryError, match=f"^a Gaussian state of {n} modes does not fit in memory$"):
        GaussianState.vacuum(n)
    assert GaussianState.vacuum(2).n_modes() == 2


class LyingSequence:
    """Claims more elements than memory could hold; is never iterated."""

    def __len__(self):
        return 2**62

    def __getitem__(self, i):
        raise AssertionError("must not be read")


@pytest.mark.parametrize(
    "argument",
    [range(10**12), range(10**20), LyingSequence()],
    ids=["range beyond memory", "range beyond counting", "claimed length beyond memory"],
)
def test_sequences_beyond_memory_are_refused_before_reading(argument):
    c = Circuit(SystemSpec.from_qubits(1))
    c.measure("z", "z", [0])
    with pytest.raises(MemoryError, match="^sequence too long to be held in memory$"):
        c.run(argument)
    with pytest.raises(MemoryError):
        SystemSpec(argument)
    assert c.run([]) == {"z": 1.0}
