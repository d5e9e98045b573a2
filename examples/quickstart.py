"""A first look at telm: describe a system and list what circuits can use."""

import _telm

print("module members:", _telm.__all__)

qubits = _telm.SystemSpec.from_qubits(3)
print(qubits, "has", qubits.n_subsystems(), "subsystems and dimension", qubits.total_dim())

mixed = _telm.SystemSpec([2, 3])  # a qubit next to a qutrit
print(mixed, "dims", mixed.dims(), "total dimension", mixed.total_dim())

print("gates:", ", ".join(_telm.available_gates()))
print("observables:", ", ".join(_telm.available_observables()))
