"""Matrix product states: a 60-qubit GHZ chain, then bond growth in a random circuit.

A GHZ state needs bond dimension 2 however long the chain. A random brickwork circuit of Y
rotations and CNOTs entangles fast: the bond dimension doubles every second layer until it reaches
chi_max. Beyond that the truncated singular values are dropped and nothing is renormalised, so
norm_sq() falls below 1 by the weight that truncation discarded.
"""

import math
import random

import _telm


def ghz(n_qubits: int) -> _telm.MpsSimulator:
    chain = _telm.MpsSimulator.from_qubits(n_qubits)
    chain.h(0)
    for q in range(n_qubits - 1):
        chain.cnot(q, q + 1)  # nearest neighbours only: target = control + 1
    return chain


def random_brickwork(n_qubits: int, layers: int, chi_max: int, seed: int) -> list[tuple[int, float]]:
    """(max_bond_dim, norm_sq) after each layer of the same random circuit."""
    rng = random.Random(seed)
    chain = _telm.MpsSimulator.from_qubits(n_qubits, chi_max=chi_max, singular_value_eps=1e-12)
    history = []
    for layer in range(layers):
        for q in range(n_qubits):
            chain.ry(q, rng.uniform(0.0, 2.0 * math.pi))
        for q in range(layer % 2, n_qubits - 1, 2):
            chain.cnot(q, q + 1)
        history.append((chain.max_bond_dim(), chain.norm_sq()))
    return history


def main() -> None:
    chain = ghz(60)
    print(chain)
    print(f"GHZ on {chain.n_qubits()} qubits: max bond dimension {chain.max_bond_dim()}, norm_sq {chain.norm_sq():.15f}")

    n_qubits, layers = 16, 12
    exact = random_brickwork(n_qubits, layers, chi_max=256, seed=11)
    truncated = random_brickwork(n_qubits, layers, chi_max=8, seed=11)
    print(f"random brickwork on {n_qubits} qubits (same gates, two bond limits)")
    print("layer  bond(chi_max=256)  norm_sq        bond(chi_max=8)  norm_sq")
    for layer, ((bond, norm), (bond_t, norm_t)) in enumerate(zip(exact, truncated), start=1):
        print(f"{layer:5d}  {bond:17d}  {norm:.12f} {bond_t:16d}  {norm_t:.12f}")


if __name__ == "__main__":
    main()
