"""Random brickwork on a 50-qubit chain: telm's MpsSimulator against quimb's CircuitMPS.

Each layer applies RY to every qubit, then CNOTs on the even bonds (even layers) or the odd
bonds (odd layers); both simulators get the same angles. Prints the wall time per two-site gate
(whole circuit divided by the number of CNOTs), the kept squared norm of each, and the ratio
telm / quimb. Linear algebra is single-threaded on both sides.

Usage: bash scripts/bench.sh mps_peers [n_qubits] [depth] [repeats]
"""

import os

for variable in ("OPENBLAS_NUM_THREADS", "OMP_NUM_THREADS", "MKL_NUM_THREADS", "NUMBA_NUM_THREADS"):
    os.environ.setdefault(variable, "1")

import sys  # noqa: E402
import time  # noqa: E402

import numpy as np  # noqa: E402
import quimb.tensor as qtn  # noqa: E402

from _telm import MpsSimulator  # noqa: E402


def brickwork(n, depth, seed=1234):
    rng = np.random.default_rng(seed)
    ops = []
    for layer in range(depth):
        ops.extend(("ry", q, float(theta)) for q, theta in enumerate(rng.uniform(0.0, 2.0 * np.pi, n)))
        ops.extend(("cnot", q, None) for q in range(layer % 2, n - 1, 2))
    return ops


def run_telm(n, chi, ops):
    sim = MpsSimulator.from_qubits(n, chi_max=chi, singular_value_eps=1e-10)
    start = time.perf_counter()
    for kind, q, theta in ops:
        if kind == "ry":
            sim.ry(q, theta)
        else:
            sim.cnot(q, q + 1)
    return time.perf_counter() - start, sim.norm_sq(), sim.max_bond_dim()


def run_quimb(n, chi, ops):
    circ = qtn.CircuitMPS(n, max_bond=chi, cutoff=1e-10, gate_opts={"cutoff_mode": "abs"})
    start = time.perf_counter()
    for kind, q, theta in ops:
        if kind == "ry":
            circ.apply_gate("RY", theta, q)
        else:
            circ.apply_gate("CNOT", q, q + 1)
    elapsed = time.perf_counter() - start
    psi = circ.psi
    return elapsed, float(abs(psi.H @ psi)), psi.max_bond()


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 50
    depth = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    repeats = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    ops = brickwork(n, depth)
    two_site = sum(1 for op in ops if op[0] == "cnot")
    run_quimb(6, 4, brickwork(6, 4))  # warm-up: imports and any just-in-time compilation
    print(f"brickwork n={n} depth={depth} two-site gates={two_site} (best of {repeats})")
    print(f"{'chi':>5} {'telm_us/2q':>12} {'quimb_us/2q':>12} {'ratio':>7} {'telm_norm_sq':>16} {'quimb_norm_sq':>16}")
    for chi in (32, 64, 128):
        telm = min((run_telm(n, chi, ops) for _ in range(repeats)), key=lambda r: r[0])
        quimb = min((run_quimb(n, chi, ops) for _ in range(repeats)), key=lambda r: r[0])
        t_us = telm[0] / two_site * 1e6
        q_us = quimb[0] / two_site * 1e6
        print(f"{chi:>5} {t_us:>12.1f} {q_us:>12.1f} {t_us / q_us:>7.2f} {telm[1]:>16.12f} {quimb[1]:>16.12f}", flush=True)


if __name__ == "__main__":
    main()
