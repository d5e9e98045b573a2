"""A first look at telm: describe a system, run a circuit, and meet the other two simulators."""

import math

import _telm

print("module members:", _telm.__all__)

qubits = _telm.SystemSpec.from_qubits(3)
print(qubits, "has", qubits.n_subsystems(), "subsystems and dimension", qubits.total_dim())

mixed = _telm.SystemSpec([2, 3])  # a qubit next to a qutrit
print(mixed, "dims", mixed.dims(), "total dimension", mixed.total_dim())

print("gates:", ", ".join(_telm.available_gates()))
print("observables:", ", ".join(_telm.available_observables()))

# A parametrised Bell circuit, built once and run for several angles.
circuit = _telm.Circuit(qubits)
circuit.add_gate("ry", [0], param_index=0)
circuit.add_gate("cnot", [0, 1])
circuit.measure("z1", "z", [1])
circuit.measure("zz", "zz", [0, 1])
for theta in (0.0, math.pi / 2, math.pi):
    values = circuit.run([theta])
    print(f"theta={theta:.3f}  <Z1>={values['z1']:+.3f}  <Z0 Z1>={values['zz']:+.3f}")

# A 50-qubit GHZ chain as a matrix product state: bond dimension 2 suffices.
chain = _telm.MpsSimulator.from_qubits(50)
chain.h(0)
for q in range(49):
    chain.cnot(q, q + 1)
print(chain, "norm_sq", round(chain.norm_sq(), 12))

# A squeezed vacuum read out by homodyne detection (hbar = 2: vacuum variance 1).
light = _telm.GaussianState.vacuum(1)
light.squeeze(0, 0.5)
print(light, "homodyne x (mean, variance):", light.homodyne(0, "x"))
