"""Variational ground state of a small transverse-field Ising chain.

H = -J * sum_i Z_i Z_{i+1} - g * sum_i X_i on an open chain of four qubits. The circuit is built
once, with every ZZ and X term as a labelled measurement; each gradient step calls `run` with
shifted parameter vectors (parameter-shift rule) and never rebuilds anything.
"""

import math
import random

import _telm

N_QUBITS = 4
J = 1.0
G = 0.7
LAYERS = 3
STEPS = 200
LEARNING_RATE = 0.3


def ansatz() -> tuple[_telm.Circuit, int]:
    """Layers of Y rotations with a CNOT ladder between them; every rotation has its own parameter."""
    circuit = _telm.Circuit(_telm.SystemSpec.from_qubits(N_QUBITS))
    index = 0
    for layer in range(LAYERS + 1):
        for q in range(N_QUBITS):
            circuit.add_gate("ry", [q], param_index=index)
            index += 1
        if layer < LAYERS:
            for q in range(N_QUBITS - 1):
                circuit.add_gate("cnot", [q, q + 1])
    for q in range(N_QUBITS - 1):
        circuit.measure(f"zz{q}", "zz", [q, q + 1])
    for q in range(N_QUBITS):
        circuit.measure(f"x{q}", "x", [q])
    circuit.build()
    return circuit, index


def energy(circuit: _telm.Circuit, theta: list[float]) -> float:
    values = circuit.run(theta)
    zz = sum(values[f"zz{q}"] for q in range(N_QUBITS - 1))
    x = sum(values[f"x{q}"] for q in range(N_QUBITS))
    return -J * zz - G * x


def gradient(circuit: _telm.Circuit, theta: list[float]) -> list[float]:
    # Rotations use half angles, exp(-i theta Y / 2), so the exact shift is pi/2.
    grad = []
    for k in range(len(theta)):
        plus = theta.copy()
        minus = theta.copy()
        plus[k] += math.pi / 2
        minus[k] -= math.pi / 2
        grad.append((energy(circuit, plus) - energy(circuit, minus)) / 2)
    return grad


def exact_ground_energy() -> float:
    """Power iteration on (shift - H) over the 16 amplitudes; qubit q is bit N-1-q of the index."""
    dim = 1 << N_QUBITS

    def bit(index: int, q: int) -> int:
        return (index >> (N_QUBITS - 1 - q)) & 1

    def apply_h(v: list[float]) -> list[float]:
        out = [0.0] * dim
        for i in range(dim):
            zz = sum(1 - 2 * (bit(i, q) ^ bit(i, q + 1)) for q in range(N_QUBITS - 1))
            out[i] -= J * zz * v[i]
            for q in range(N_QUBITS):
                out[i ^ (1 << (N_QUBITS - 1 - q))] -= G * v[i]
        return out

    shift = J * (N_QUBITS - 1) + G * N_QUBITS  # bounds the spectrum, so shift - H is positive
    v = [1.0] * dim
    for _ in range(2000):
        hv = apply_h(v)
        w = [shift * a - b for a, b in zip(v, hv)]
        norm = math.sqrt(sum(a * a for a in w))
        v = [a / norm for a in w]
    return sum(a * b for a, b in zip(v, apply_h(v)))


def main() -> None:
    circuit, n_params = ansatz()
    print(circuit, "-", len(circuit.debug_instructions()), "instructions after optimisation")
    rng = random.Random(3)
    theta = [rng.uniform(-0.1, 0.1) for _ in range(n_params)]
    for step in range(STEPS + 1):
        if step % 50 == 0:
            print(f"step {step:3d}  energy {energy(circuit, theta): .6f}")
        grad = gradient(circuit, theta)
        theta = [t - LEARNING_RATE * g for t, g in zip(theta, grad)]
    found = energy(circuit, theta)
    exact = exact_ground_energy()
    print(f"variational energy {found:.6f}, exact ground energy {exact:.6f}, gap {found - exact:.2e}")


if __name__ == "__main__":
    main()
