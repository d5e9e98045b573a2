"""Times the same circuits in telm and in qulacs, qiskit-aer and pennylane-lightning.

Every simulator runs on one thread. Each case checks that all simulators agree on the
expectation values before it prints the times and the ratio telm / peer.

    bash scripts/bench.sh peers          # installs the peers into .venv-bench and runs this
"""

import os

for variable in ("OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS", "MKL_NUM_THREADS", "QULACS_NUM_THREADS"):
    os.environ[variable] = "1"

import importlib.metadata
import math
import sys
import time

import numpy as np

import _telm

TOLERANCE = 1e-8


def hea(n, layers):
    """Hardware-efficient ansatz: per layer RY and RZ on every qubit, then a CNOT ladder."""
    ops, p = [], 0
    for _ in range(layers):
        for q in range(n):
            ops.append(("ry", (q,), p))
            p += 1
        for q in range(n):
            ops.append(("rz", (q,), p))
            p += 1
        for q in range(n - 1):
            ops.append(("cnot", (q, q + 1), None))
    return ops, p


def random_circuit(n, n_gates, seed):
    rng = np.random.default_rng(seed)
    ops, p = [], 0
    for _ in range(n_gates):
        if rng.random() < 0.5:
            kind = ["h", "x", "rx", "ry", "rz"][rng.integers(5)]
            index = None
            if kind.startswith("r"):
                index, p = p, p + 1
            ops.append((kind, (int(rng.integers(n)),), index))
        else:
            kind = ["cnot", "cz", "swap", "rzz"][rng.integers(4)]
            a, b = (int(t) for t in rng.choice(n, size=2, replace=False))
            index = None
            if kind == "rzz":
                index, p = p, p + 1
            ops.append((kind, (a, b), index))
    return ops, p


# --- telm -------------------------------------------------------------------------------------

def telm_prepare(n, ops):
    circuit = _telm.Circuit(_telm.SystemSpec.from_qubits(n))
    for kind, targets, index in ops:
        circuit.add_gate(kind, list(targets), index)
    for q in range(n):
        circuit.measure("z%d" % q, "z", [q])
    circuit.build()
    return lambda params: [result["z%d" % q] for result in [circuit.run(params)] for q in range(n)]


# --- qulacs -----------------------------------------------------------------------------------

def qulacs_prepare(n, ops):
    import qulacs
    from qulacs import Observable, ParametricQuantumCircuit, QuantumState

    circuit = ParametricQuantumCircuit(n)
    slots = []  # (position in the circuit's parameter list, index into our vector, sign)
    for kind, targets, index in ops:
        if kind == "h":
            circuit.add_H_gate(targets[0])
        elif kind == "x":
            circuit.add_X_gate(targets[0])
        elif kind in ("rx", "ry", "rz"):
            # qulacs' parametric rotations are exp(+i theta P / 2): negate the angle.
            getattr(circuit, "add_parametric_%s_gate" % kind.upper())(targets[0], 0.0)
            slots.append((circuit.get_parameter_count() - 1, index))
        elif kind == "cnot":
            circuit.add_CNOT_gate(*targets)
        elif kind == "cz":
            circuit.add_CZ_gate(*targets)
        elif kind == "swap":
            circuit.add_SWAP_gate(*targets)
        elif kind == "rzz":
            circuit.add_parametric_multi_Pauli_rotation_gate(list(targets), [3, 3], 0.0)
            slots.append((circuit.get_parameter_count() - 1, index))
    observables = []
    for q in range(n):
        o = Observable(n)
        o.add_operator(1.0, "Z %d" % q)
        observables.append(o)
    state = QuantumState(n)

    def run(params):
        for position, index in slots:
            circuit.set_parameter(position, -params[index])
        state.set_zero_state()
        circuit.update_quantum_state(state)
        return [o.get_expectation_value(state) for o in observables]

    return run, "qulacs " + importlib.metadata.version("qulacs")


# --- qiskit-aer -------------------------------------------------------------------------------

def aer_prepare(n, ops):
    from qiskit import QuantumCircuit
    from qiskit.circuit import ParameterVector
    from qiskit.quantum_info import Pauli
    from qiskit_aer import AerSimulator

    # Aer orders qubits little-endian; the gates name the same qubits, so per-qubit Z agrees.
    n_params = 1 + max([i for _, _, i in ops if i is not None], default=-1)
    theta = ParameterVector("t", max(n_params, 1))
    qc = QuantumCircuit(n)
    for kind, targets, index in ops:
        if kind in ("h", "x"):
            getattr(qc, kind)(targets[0])
        elif kind in ("rx", "ry", "rz"):
            getattr(qc, kind)(theta[index], targets[0])
        elif kind == "cnot":
            qc.cx(*targets)
        elif kind in ("cz", "swap"):
            getattr(qc, kind)(*targets)
        elif kind == "rzz":
            qc.rzz(theta[index], *targets)
    for q in range(n):
        label = ["I"] * n
        label[n - 1 - q] = "Z"
        qc.save_expectation_value(Pauli("".join(label)), list(range(n)), label="z%d" % q)
    simulator = AerSimulator(method="statevector", max_parallel_threads=1, max_parallel_experiments=1,
                             max_parallel_shots=1, statevector_parallel_threshold=64)
    compiled = qc  # already in the simulator's gate set

    used = sorted(qc.parameters, key=lambda p: p.index)

    def run_many(param_rows):
        # One job: Aer runs one experiment per bound parameter row.
        binds = [{p: [row[p.index] for row in param_rows] for p in used}] if used else None
        circuits = compiled if used else [compiled] * len(param_rows)
        result = simulator.run(circuits, parameter_binds=binds, shots=1).result()
        return [[float(np.real(result.data(i)["z%d" % q])) for q in range(n)] for i in range(len(param_rows))]

    return run_many, "qiskit-aer " + importlib.metadata.version("qiskit-aer")


# --- pennylane-lightning ----------------------------------------------------------------------

def lightning_prepare(n, ops):
    import pennylane as qml

    device = qml.device("lightning.qubit", wires=n)

    @qml.qnode(device, diff_method=None)
    def circuit(params):
        for kind, targets, index in ops:
            if kind == "h":
                qml.Hadamard(targets[0])
            elif kind == "x":
                qml.PauliX(targets[0])
            elif kind in ("rx", "ry", "rz"):
                {"rx": qml.RX, "ry": qml.RY, "rz": qml.RZ}[kind](params[index], wires=targets[0])
            elif kind == "cnot":
                qml.CNOT(wires=list(targets))
            elif kind == "cz":
                qml.CZ(wires=list(targets))
            elif kind == "swap":
                qml.SWAP(wires=list(targets))
            elif kind == "rzz":
                qml.IsingZZ(params[index], wires=list(targets))
        return [qml.expval(qml.PauliZ(q)) for q in range(n)]

    return (lambda params: [float(v) for v in circuit(params)]), "pennylane-lightning " + importlib.metadata.version(
        "pennylane_lightning")


# --- timing -----------------------------------------------------------------------------------

def best_time(fn, repeats):
    best = math.inf
    for _ in range(repeats):
        start = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - start)
    return best


def run_case(title, n, ops, n_params, n_vectors, repeats):
    rng = np.random.default_rng(1)
    vectors = [list(rng.uniform(-math.pi, math.pi, size=n_params)) for _ in range(n_vectors)]
    telm_run = telm_prepare(n, ops)
    reference = [telm_run(v) for v in vectors[:3]]

    rows = []
    telm_time = best_time(lambda: [telm_run(v) for v in vectors], repeats)
    rows.append(("telm", telm_time))
    peers = []
    for prepare in (qulacs_prepare, aer_prepare, lightning_prepare):
        try:
            runner, name = prepare(n, ops)
        except ImportError as e:
            print("  (skipping %s: %s)" % (prepare.__name__, e))
            continue
        if prepare is aer_prepare:
            values = runner(vectors[:3])
            timed = lambda runner=runner: runner(vectors)
        else:
            values = [runner(v) for v in vectors[:3]]
            timed = lambda runner=runner: [runner(v) for v in vectors]
        worst = float(np.max(np.abs(np.array(values) - np.array(reference))))
        if worst > TOLERANCE:
            sys.exit("%s disagrees with telm on %s: max difference %.3g" % (name, title, worst))
        peers.append((name, best_time(timed, repeats)))
    fastest = min(t for _, t in peers) if peers else math.nan
    print("\n%s" % title)
    print("  %-30s %12s %14s" % ("simulator", "time [ms]", "telm / peer"))
    print("  %-30s %12.3f %14s" % ("telm", telm_time * 1e3, ""))
    for name, t in peers:
        print("  %-30s %12.3f %14.3f" % (name, t * 1e3, telm_time / t))
    print("  ratio to the fastest peer: %.3f" % (telm_time / fastest))


def main():
    quick = "--quick" in sys.argv
    ops, p = hea(20, 10)
    run_case("1. 20-qubit HEA, 10 layers, Z on every qubit, one parameter vector", 20, ops, p, 1, 2 if quick else 5)
    ops, p = hea(10, 10)
    run_case("2. 10-qubit HEA, 10 layers, 2,000 parameter vectors", 10, ops, p, 200 if quick else 2000,
             1 if quick else 3)
    ops, p = random_circuit(24, 200, seed=3)
    run_case("3. 24-qubit random circuit of 200 one- and two-qubit gates", 24, ops, p, 1, 1 if quick else 3)


if __name__ == "__main__":
    main()
