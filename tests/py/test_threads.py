"""Objects shared between Python threads: overlapping calls are refused with the borrow errors,
never crash, and leave every object consistent."""

import json
import math
import sys
import threading
import time

import pytest

from _telm import Circuit, GaussianState, MpsSimulator, SystemSpec

BORROW_ERRORS = {"Already borrowed", "Already mutably borrowed"}


class YieldingIndex:
    """An integer whose conversion lets other threads run while the call holds its borrow."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        time.sleep(0)
        return self.value


class YieldingFloat:
    def __init__(self, value):
        self.value = value

    def __float__(self):
        time.sleep(0)
        return self.value


@pytest.fixture(autouse=True)
def frequent_switches():
    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-5)
    yield
    sys.setswitchinterval(interval)


def hammer(calls, n_threads=4, rounds=300):
    """Runs random picks of `calls` from several threads; returns the successes per call name."""
    successes = {name: 0 for name in calls}
    refusals = []
    failures = []
    lock = threading.Lock()
    start = threading.Barrier(n_threads)
    names = list(calls)

    def worker(seed):
        start.wait()
        for i in range(rounds):
            name = names[(seed * 7 + i * 13 + i // 5) % len(names)]
            try:
                calls[name]()
            except RuntimeError as error:
                if str(error) not in BORROW_ERRORS:
                    failures.append((name, repr(error)))
                with lock:
                    refusals.append(str(error))
                continue
            except BaseException as error:  # anything else is a fault
                failures.append((name, repr(error)))
                continue
            with lock:
                successes[name] += 1

    threads = [threading.Thread(target=worker, args=(s,)) for s in range(n_threads)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []
    return successes, refusals


def test_exclusive_call_during_a_yielding_conversion_is_refused():
    mps = MpsSimulator.from_qubits(3)
    inside = threading.Event()
    proceed = threading.Event()

    class WaitingIndex:
        def __index__(self):
            inside.set()
            proceed.wait(5)
            return 0

    outcome = {}
    reader = threading.Thread(target=lambda: outcome.setdefault("ry", mps.ry(WaitingIndex(), 0.5)))
    reader.start()
    assert inside.wait(5)
    # ry holds the exclusive borrow while its argument is converted on the other thread
    for call, message in [(lambda: mps.h(0), "Already borrowed"), (mps.norm_sq, "Already mutably borrowed"),
                          (lambda: repr(mps), "Already mutably borrowed")]:
        with pytest.raises(RuntimeError) as info:
            call()
        assert str(info.value) == message
    proceed.set()
    reader.join()
    assert outcome == {"ry": None}
    assert repr(mps) == "MpsSimulator(n_qubits=3, center=0, max_bond_dim=1)"
    assert mps.norm_sq() == pytest.approx(1.0)


def test_shared_calls_overlap_freely():
    spec = SystemSpec([2, 3, 2])
    gaussian = GaussianState.vacuum(2)
    calls = {
        "dims": lambda: spec.dims() == [2, 3, 2] or pytest.fail("dims"),
        "total_dim": spec.total_dim,
        "repr": lambda: repr(spec),
        "homodyne": lambda: gaussian.homodyne(YieldingIndex(1), "x"),
        "heterodyne": lambda: gaussian.heterodyne(YieldingIndex(0)),
    }
    successes, refusals = hammer(calls)
    assert refusals == [] and sum(successes.values()) == 4 * 300


def test_gaussian_state_shared_between_threads():
    state = GaussianState.vacuum(2)
    calls = {
        "displace": lambda: state.displace(YieldingIndex(0), YieldingFloat(1.0), 0.0),
        "beamsplitter": lambda: state.beamsplitter(0, YieldingIndex(1), 0.0),  # theta 0: the identity
        "homodyne": lambda: state.homodyne(YieldingIndex(1), "p"),
        "covariance": state.covariance,
        "repr": lambda: repr(state),
    }
    successes, refusals = hammer(calls)
    assert refusals, "the yielding conversions should have overlapped"
    # every accepted displacement landed exactly once, every refused one not at all
    assert state.displacement() == [float(successes["displace"]), 0.0, 0.0, 0.0]
    assert state.covariance() == [1.0 if i % 5 == 0 else 0.0 for i in range(16)]


def test_mps_shared_between_threads():
    mps = MpsSimulator.from_qubits(5, chi_max=32)
    calls = {
        "h": lambda: mps.h(YieldingIndex(2)),
        "ry": lambda: mps.ry(YieldingIndex(4), YieldingFloat(0.7)),
        "cnot": lambda: mps.cnot(YieldingIndex(1), YieldingIndex(2)),
        "cnot2": lambda: mps.cnot(3, 4),
        "norm": lambda: math.isclose(mps.norm_sq(), 1.0, rel_tol=1e-9) or pytest.fail(f"norm {mps.norm_sq()}"),
        "bond": mps.max_bond_dim,
        "repr": lambda: repr(mps),
    }
    _, refusals = hammer(calls)
    assert refusals
    assert mps.n_qubits() == 5 and mps.max_bond_dim() <= 4
    assert mps.norm_sq() == pytest.approx(1.0)


def test_circuit_shared_between_threads_while_building():
    c = Circuit(SystemSpec.from_qubits(3))
    calls = {
        "add_gate": lambda: c.add_gate("h", [YieldingIndex(0)]),
        "add_rotation": lambda: c.add_gate("rx", [1], YieldingIndex(0)),
        "enter": lambda: c.enter_composite("block", [YieldingIndex(2)]),
        "exit": c.exit_composite,
        "layer": lambda: json.loads(c.get_layer(YieldingIndex(0))),
    }
    successes, refusals = hammer(calls)
    assert refusals
    # every accepted gate and composite is in the tree exactly once, reachable from the root
    seen, pending = [], [0]
    while pending:
        nodes = json.loads(c.get_layer(pending.pop()))["nodes"]
        seen += [n["name"] for n in nodes]
        pending += [n["id"] for n in nodes if n["is_composite"]]
    assert sorted(seen) == sorted(["H"] * successes["add_gate"] + ["RX"] * successes["add_rotation"]
                                  + ["block"] * successes["enter"])
    with pytest.raises(ValueError):
        c.get_layer(len(seen) + 1)


def test_circuit_runs_shared_between_threads():
    c = Circuit(SystemSpec.from_qubits(1))
    c.add_gate("x", [0])
    c.measure("z", "z", [0])
    seq = [YieldingFloat(0.0)]
    calls = {
        "run": lambda: c.run(seq) == {"z": -1.0} or pytest.fail("run"),
        "run_with_state": lambda: c.run_with_state(seq),
        "n_params": c.n_params,
        "debug": c.debug_instructions,
        "layer": lambda: c.get_layer(YieldingIndex(1)),
    }
    successes, refusals = hammer(calls)
    assert refusals
    # the kept state was flipped once per accepted run_with_state
    expected = -1.0 if successes["run_with_state"] % 2 == 0 else 1.0
    assert c.run_with_state([]) == {"z": expected}
