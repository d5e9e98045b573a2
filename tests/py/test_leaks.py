"""Repeated calls, successful and failing, must not accumulate Python objects or native memory."""

import gc
import os
import sys

import pytest

from _telm import Circuit, GaussianState, MpsSimulator, SystemSpec

# Under AddressSanitizer freed memory sits in quarantine and the interpreter allocates through
# malloc, so neither figure is meaningful there; the sanitizer's own leak check covers that run.
SANITIZED = "libasan" in open("/proc/self/maps").read()
PAGE = os.sysconf("SC_PAGE_SIZE")


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * PAGE


class FailingIndex:
    def __index__(self):
        raise ValueError("no index")


class BrokenSequence:
    def __len__(self):
        return 3

    def __getitem__(self, i):
        if i == 2:
            raise ValueError("no item")
        return 0


def ten_qubit_circuit():
    c = Circuit(SystemSpec.from_qubits(10))
    for q in range(10):
        c.add_gate("h", [q])
        c.add_gate("rx", [q], q)
    for q in range(9):
        c.add_gate("cnot", [q, q + 1])
        c.add_gate("rzz", [q, q + 1], 10 + q)
    for q in range(10):
        c.measure(f"z{q}", "z", [q])
    c.measure("zz", "zz", [0, 9])
    c.build()
    return c


def raises(call, *exceptions):
    def run():
        try:
            call()
        except exceptions:
            return
        raise AssertionError("expected an exception")

    return run


def cases():
    circuit = ten_qubit_circuit()
    params = [0.1 * i for i in range(19)]
    building = Circuit(SystemSpec.from_qubits(3))
    building.enter_composite("block \u00e9\n", [0, 1])
    building.add_gate("h", [0])
    mps = MpsSimulator.from_qubits(6, chi_max=8)
    gaussian = GaussianState.vacuum(3)
    huge = Circuit(SystemSpec.from_qubits(62))
    return {
        "circuit run": (lambda: circuit.run(params), 300),
        "circuit run_with_state": (lambda: circuit.run_with_state(params), 300),
        "circuit reset_state": (circuit.reset_state, 300),
        "get_layer": (lambda: building.get_layer(0) + building.get_layer(1), 3000),
        "debug_instructions": (circuit.debug_instructions, 1000),
        "n_params and repr": (lambda: (circuit.n_params(), repr(circuit)), 3000),
        "new circuits": (lambda: Circuit(SystemSpec([2, 3])).add_gate("h", [0]), 2000),
        "mps gates": (lambda: (mps.h(0), mps.ry(1, 0.3), mps.cnot(0, 1), mps.cnot(2, 3), mps.norm_sq()), 1000),
        "new mps": (lambda: MpsSimulator.from_qubits(4).h(3), 2000),
        "gaussian gates": (
            lambda: (gaussian.displace(0, 0.1, 0.2), gaussian.squeeze(1, 0.01), gaussian.beamsplitter(0, 2, 0.3),
                     gaussian.homodyne(1, "P"), gaussian.heterodyne(2)),
            2000,
        ),
        "gaussian copies": (lambda: (gaussian.covariance(), gaussian.displacement()), 2000),
        # failing calls: binding, conversion (wrapped TypeError with cause), overflow, user errors,
        # refusals of the Python layer, library errors and impossible sizes
        "binding errors": (raises(lambda: circuit.add_gate("h", [0], 1, 2, bogus=3), TypeError), 3000),
        "conversion errors": (raises(lambda: mps.ry(0, "angle"), TypeError), 3000),
        "sequence errors": (raises(lambda: building.enter_composite("b", [0, "1"]), TypeError), 3000),
        "overflow": (raises(lambda: gaussian.squeeze(2**64, 0.0), OverflowError), 3000),
        "user conversion errors": (raises(lambda: mps.h(FailingIndex()), ValueError), 3000),
        "user sequence errors": (raises(lambda: circuit.run(BrokenSequence()), ValueError), 3000),
        "unknown names": (raises(lambda: gaussian.homodyne(0, "Q"), ValueError), 3000),
        "built circuit refusal": (raises(lambda: circuit.add_gate("h", [0]), ValueError), 3000),
        "library errors": (raises(lambda: building.add_gate("cx", [0, 7]), RuntimeError), 3000),
        "executor errors": (raises(lambda: circuit.run([0.0]), RuntimeError), 1000),
        "mps errors": (raises(lambda: (mps.cnot(1, 3)), ValueError), 3000),
        "factory errors": (raises(lambda: GaussianState.vacuum(0), RuntimeError), 3000),
        "impossible sizes": (raises(lambda: (huge.run([])), MemoryError), 3000),
        "impossible factories": (raises(lambda: MpsSimulator.from_qubits(2**40), MemoryError), 3000),
        "layer refusal": (raises(lambda: building.get_layer(99), ValueError), 3000),
    }


@pytest.mark.parametrize("name", list(cases()))
def test_repeated_calls_do_not_grow_memory(name):
    call, repeat = cases()[name]
    for _ in range(20):  # caches and free lists settle first
        call()
    gc.collect()
    types_before = [sys.getrefcount(t) for t in (SystemSpec, Circuit, MpsSimulator, GaussianState)]
    blocks_before = sys.getallocatedblocks()
    rss_before = resident_bytes()
    for _ in range(repeat):
        call()
    gc.collect()
    assert [sys.getrefcount(t) for t in (SystemSpec, Circuit, MpsSimulator, GaussianState)] == types_before
    assert sys.getallocatedblocks() - blocks_before < 50
    if not SANITIZED:
        assert resident_bytes() - rss_before < 2 * 1024 * 1024
