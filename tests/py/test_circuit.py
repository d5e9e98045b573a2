import json
import math

import numpy as np
import pytest

from _telm import Circuit, SystemSpec


def qubits(n):
    return Circuit(SystemSpec.from_qubits(n))


def root_children(circuit):
    return [node["id"] for node in json.loads(circuit.get_layer(0))["nodes"]]


class TestAddGate:
    @pytest.mark.parametrize(
        "name, targets, node",
        [
            ("h", [0], "H"),
            ("hadamard", [0], "HADAMARD"),
            ("Hadamard", [0], "HADAMARD"),
            ("X", [1], "X"),
            ("y", [0], "Y"),
            ("z", [0], "Z"),
            ("CX", [0, 1], "CX"),
            ("cnot", [0, 1], "CNOT"),
            ("cz", [1, 0], "CZ"),
            ("swap", [0, 1], "SWAP"),
        ],
    )
    def test_fixed_gates_record_upper_cased_nodes(self, name, targets, node):
        c = qubits(2)
        c.add_gate(name, targets, param_index=5)  # ignored by fixed gates
        nodes = json.loads(c.get_layer(0))["nodes"]
        assert nodes == [{"id": 1, "name": node, "is_composite": False, "targets": targets}]
        assert c.n_params() == 0

    @pytest.mark.parametrize("name, targets", [("rx", [0]), ("RY", [0]), ("rz", [1]), ("RZZ", [0, 1])])
    def test_rotations_require_param_index(self, name, targets):
        c = qubits(2)
        with pytest.raises(ValueError) as info:
            c.add_gate(name, targets)
        assert str(info.value) == "param_index is required for gate '%s'" % name.lower()
        c.add_gate(name, targets, 3)
        assert c.n_params() == 4

    def test_error_order(self):
        c = qubits(1)
        with pytest.raises(ValueError, match=r"^unsupported gate 'foo\u00c9'. Use available_gates\(\) to list supported gates.$"):
            c.add_gate("FoO\u00c9", [0])
        with pytest.raises(ValueError, match="^unsupported gate 'rxx'"):
            c.add_gate("rxx", [0])  # the name is checked before param_index
        with pytest.raises(RuntimeError) as info:
            c.add_gate("h", [3])
        assert str(info.value) == (
            "circuit instruction references subsystem 3, which does not exist in the system (has 1 subsystems)"
        )
        with pytest.raises(RuntimeError, match="^operator targets 2 subsystem"):
            c.add_gate("h", [0, 0])
        assert root_children(c) == []  # refused gates record no node
        c.build()
        with pytest.raises(ValueError, match="^circuit already built; cannot add gates$"):
            c.add_gate("bogus", [0])  # the phase is checked before the name
        with pytest.raises(ValueError, match="^circuit already built; cannot add measurements$"):
            c.measure("m", "bogus", [0])

    def test_binding(self):
        c = qubits(2)
        c.add_gate(gate="h", targets=[0])
        with pytest.raises(TypeError) as info:
            c.add_gate("h")
        assert str(info.value) == "Circuit.add_gate() missing 1 required positional argument: 'targets'"
        with pytest.raises(TypeError) as info:
            c.measure("m")
        assert str(info.value) == "Circuit.measure() missing 2 required positional arguments: 'observable' and 'targets'"
        with pytest.raises(TypeError) as info:
            c.add_gate("h", [0], 1, 2)
        assert str(info.value) == "Circuit.add_gate() takes from 2 to 3 positional arguments but 4 were given"
        with pytest.raises(TypeError, match="^argument 'targets': "):
            c.add_gate("h", "0")
        with pytest.raises(OverflowError) as info:
            c.add_gate("h", [-1])
        assert not str(info.value).startswith("argument")
        with pytest.raises(TypeError, match="^argument 'system': 'list' object cannot be converted to 'SystemSpec'$"):
            Circuit([2])
        with pytest.raises(TypeError, match="^argument 'gate': "):
            c.add_gate(1, [0])

    def test_signatures(self):
        assert Circuit.__text_signature__ == "(system)"
        assert Circuit.add_gate.__text_signature__ == "($self, gate, targets, param_index=None)"
        assert Circuit.measure.__text_signature__ == "($self, label, observable, targets)"
        for name in ("build", "reset_state", "n_params", "debug_instructions", "exit_composite"):
            assert getattr(Circuit, name).__text_signature__ == "($self)"
        for name, params in (("run", "parameters"), ("run_with_state", "parameters"), ("get_layer", "node_id")):
            assert getattr(Circuit, name).__text_signature__ == "($self, %s)" % params
        assert Circuit.enter_composite.__text_signature__ == "($self, name, targets)"


class TestMeasure:
    @pytest.mark.parametrize(
        "name, targets, value",
        [("z", [0], -1.0), ("PauliZ", [0], -1.0), ("x", [0], 0.0), ("paulix", [1], 0.0), ("Y", [0], 0.0),
         ("zz", [0, 1], -1.0), ("PauliZZ", [0, 1], -1.0)],
    )
    def test_names_and_aliases(self, name, targets, value):
        c = qubits(2)
        c.add_gate("x", [0])
        c.measure("m", name, targets)
        assert c.run([]) == {"m": pytest.approx(value, abs=1e-15)}

    def test_errors(self):
        c = qubits(2)
        with pytest.raises(ValueError) as info:
            c.measure("m", "XX", [0, 1])
        assert str(info.value) == "unsupported observable 'xx'. Use available_observables() to list supported observables."
        c.measure("m", "z", [0])
        with pytest.raises(RuntimeError) as info:
            c.measure("m", "x", [1])
        assert str(info.value) == "output slot 'm' is already occupied by a previous measurement"
        with pytest.raises(RuntimeError, match="^operator targets 1 subsystem"):
            c.measure("n", "zz", [0])


class TestRun:
    def test_run_and_run_with_state_carry_over(self):
        c = qubits(1)
        c.add_gate("x", [0])
        c.measure("z0", "z", [0])
        assert [c.run([]) for _ in range(3)] == [{"z0": -1.0}] * 3
        assert [c.run_with_state(())["z0"] for _ in range(3)] == [-1.0, 1.0, -1.0]
        c.reset_state()
        assert c.run_with_state([])["z0"] == -1.0

    def test_hadamard_carry_over(self):
        c = qubits(1)
        c.add_gate("h", [0])
        c.measure("z", "z", [0])
        assert c.run([])["z"] == pytest.approx(0.0, abs=1e-15)
        values = [c.run_with_state([])["z"] for _ in range(3)]
        assert values == pytest.approx([0.0, 1.0, 0.0], abs=1e-15)

    def test_reset_state_does_not_build(self):
        c = qubits(1)
        c.reset_state()
        c.add_gate("h", [0])
        c.build()
        c.build()
        with pytest.raises(ValueError, match="circuit already built; cannot add gates"):
            c.add_gate("h", [0])

    def test_parameters(self):
        c = qubits(2)
        c.add_gate("rx", [0], 2)
        c.add_gate("rz", [1], 0)
        c.measure("z0", "z", [0])
        assert c.n_params() == 3
        with pytest.raises(RuntimeError) as info:
            c.run([0.1, 0.2])
        assert str(info.value) == "parameter index 2 out of range (parameter vector length: 2)"
        assert c.run([0.0, 0.0, math.pi / 3, 99.0])["z0"] == pytest.approx(0.5)
        assert c.run(range(3))["z0"] == pytest.approx(math.cos(2))
        assert c.run(np.array([0.0, 0.0, math.pi]))["z0"] == pytest.approx(-1.0)
        with pytest.raises(TypeError, match="^argument 'parameters': "):
            c.run("abc")

    def test_results_have_exactly_the_labels(self):
        c = qubits(2)
        assert c.run([]) == {}
        c = qubits(2)
        for label in ("b", "a", "\u00e9t\u00e9"):
            c.measure(label, "z", [0])
        assert sorted(c.run([])) == sorted(["b", "a", "\u00e9t\u00e9"])

    def test_failed_run_with_state_keeps_partial_effects(self):
        c = qubits(1)
        c.add_gate("x", [0])
        c.measure("z", "z", [0])
        c.add_gate("rx", [0], 4)
        with pytest.raises(RuntimeError):
            c.run_with_state([])
        assert c.run_with_state([0.0] * 5)["z"] == pytest.approx(1.0)  # x applied twice in all

    def test_qudit_system_is_refused_at_run(self):
        c = Circuit(SystemSpec([3]))
        c.measure("z", "z", [0])
        with pytest.raises(RuntimeError, match="^not yet implemented: "):
            c.run([])

    def test_too_large_system_is_refused_and_object_stays_usable(self):
        c = Circuit(SystemSpec.from_qubits(62))
        c.add_gate("h", [0])
        for call in (lambda: c.run([]), lambda: c.run_with_state([]), c.reset_state):
            with pytest.raises(MemoryError):
                call()
        assert c.n_params() == 0 and repr(c) == "Circuit(n_subsystems=62, n_params=0)"


class TestBuiltViews:
    def test_n_params_debug_and_repr_build_the_circuit(self):
        c = qubits(2)
        assert repr(c) == "Circuit(n_subsystems=2, n_params=0)"
        with pytest.raises(ValueError, match="already built"):
            c.add_gate("h", [0])
        c = qubits(2)
        c.add_gate("rx", [0], 0)
        c.add_gate("ry", [1], 3)
        assert repr(c) == "Circuit(n_subsystems=2, n_params=4)"
        assert qubits(1).debug_instructions() == []

    def test_debug_instructions_after_optimization(self):
        c = qubits(1)
        c.add_gate("h", [0])
        c.add_gate("h", [0])
        c.add_gate("rx", [0], 0)
        c.add_gate("rx", [0], 1)
        c.measure("m", "z", [0])
        texts = c.debug_instructions()
        assert len(texts) == 2 and all(isinstance(t, str) for t in texts)
        assert c.n_params() == 2


class TestLayers:
    def test_tree_and_layers(self):
        c = qubits(2)
        assert c.get_layer(0) == '{"nodes":[]}'
        with pytest.raises(ValueError, match="^Invalid visualization node ID$"):
            c.get_layer(1)
        c.add_gate("h", [0])
        c.enter_composite("block", [0, 1])
        c.add_gate("cx", [0, 1])
        c.exit_composite()
        c.add_gate("x", [1])
        assert c.get_layer(0) == (
            '{"nodes":[{"id":1,"name":"H","is_composite":false,"targets":[0]},'
            '{"id":2,"name":"block","is_composite":true,"targets":[0,1]},'
            '{"id":4,"name":"X","is_composite":false,"targets":[1]}]}'
        )
        assert c.get_layer(2) == '{"nodes":[{"id":3,"name":"CX","is_composite":false,"targets":[0,1]}]}'
        assert c.get_layer(3) == '{"nodes":[]}'
        with pytest.raises(ValueError):
            c.get_layer(5)
        with pytest.raises(OverflowError):
            c.get_layer(-1)

    def test_exit_at_root_and_unclosed_composites(self):
        c = qubits(2)
        c.exit_composite()
        c.enter_composite("a", [])
        c.exit_composite()
        c.exit_composite()
        c.add_gate("h", [0])
        assert root_children(c) == [1, 2]
        c.enter_composite("open", [7, 7])  # targets are not checked
        c.add_gate("z", [1])
        assert json.loads(c.get_layer(3))["nodes"][0]["name"] == "Z"
        c.build()
        c.enter_composite("late", [])
        assert [n["name"] for n in json.loads(c.get_layer(3))["nodes"]] == ["Z", "late"]

    @pytest.mark.parametrize(
        "name, written",
        [
            ('say "hi"', r'"say \"hi\""'),
            ("back\\slash/", r'"back\\slash/"'),
            ("\b\t\n\f\r", r'"\b\t\n\f\r"'),
            ("\x00\x01\x1f\x7f", '"\\u0000\\u0001\\u001f\x7f"'),
            ("\u00e9t\u00e9 \u2265 \U0001f600", '"\u00e9t\u00e9 \u2265 \U0001f600"'),
        ],
    )
    def test_json_escapes(self, name, written):
        c = qubits(1)
        c.enter_composite(name, [0])
        assert c.get_layer(0) == '{"nodes":[{"id":1,"name":%s,"is_composite":true,"targets":[0]}]}' % written


class TestReentrancy:
    def test_conversion_calling_back_into_the_same_circuit(self):
        c = qubits(2)
        seen = []

        class Sneaky:
            def __init__(self, call):
                self.call = call

            def __index__(self):
                try:
                    self.call()
                except RuntimeError as e:
                    seen.append(str(e))
                return 0

        c.add_gate("h", [Sneaky(lambda: c.get_layer(0))])      # shared inside exclusive
        c.add_gate("x", [Sneaky(lambda: c.add_gate("z", [0]))])  # exclusive inside exclusive
        c.get_layer(Sneaky(lambda: c.get_layer(0)))              # shared inside shared is fine
        c.get_layer(Sneaky(c.exit_composite))                    # exclusive inside shared
        assert seen == ["Already mutably borrowed", "Already borrowed", "Already borrowed"]
        assert root_children(c) == [1, 2]  # borrows were released


def dense_reference(n, ops, params):
    """A small independent simulation: qubit 0 is the most significant bit."""
    I = np.eye(2)
    X = np.array([[0, 1], [1, 0]], dtype=complex)
    Y = np.array([[0, -1j], [1j, 0]])
    Z = np.diag([1.0, -1.0]).astype(complex)
    H = np.array([[1, 1], [1, -1]]) / np.sqrt(2)

    def rot(P, t):
        return np.cos(t / 2) * np.eye(len(P)) - 1j * np.sin(t / 2) * P

    def full(mats):
        out = np.array([[1.0 + 0j]])
        for q in range(n):
            out = np.kron(out, mats.get(q, I))
        return out

    def controlled(c, t, U):
        P0, P1 = np.diag([1, 0]), np.diag([0, 1])
        return full({c: P0}) + full({c: P1, t: U})

    state = np.zeros(2**n, dtype=complex)
    state[0] = 1
    results = {}
    for op in ops:
        kind, targets = op[0], op[1]
        if kind == "measure":
            label, obs = op[2], op[3]
            M = {"z": full({targets[0]: Z}), "x": full({targets[0]: X}), "y": full({targets[0]: Y})}.get(obs)
            if obs == "zz":
                M = full({targets[0]: Z}) @ full({targets[1]: Z}) if targets[0] != targets[1] else full({})
            results[label] = float(np.real(np.vdot(state, M @ state)))
            continue
        theta = params[op[2]] if len(op) > 2 else None
        single = {"h": H, "x": X, "y": Y, "z": Z}
        if kind in single:
            U = full({targets[0]: single[kind]})
        elif kind in ("rx", "ry", "rz"):
            U = full({targets[0]: rot({"rx": X, "ry": Y, "rz": Z}[kind], theta)})
        elif kind in ("cnot", "cx"):
            U = controlled(targets[0], targets[1], X)
        elif kind == "cz":
            U = controlled(targets[0], targets[1], Z)
        elif kind == "swap":
            a, b = targets
            U = (controlled(a, b, X) @ controlled(b, a, X)) @ controlled(a, b, X)
        elif kind == "rzz":
            U = rot(full({targets[0]: Z}) @ full({targets[1]: Z}), theta)
        state = U @ state
    return results


def test_random_circuits_match_a_dense_reference():
    rng = np.random.default_rng(7)
    one = ["h", "x", "y", "z", "rx", "ry", "rz"]
    two = ["cnot", "cx", "cz", "swap", "rzz"]
    for trial in range(40):
        n = int(rng.integers(1, 7))
        n_params = 4
        ops = []
        for k in range(int(rng.integers(1, 30))):
            if n >= 2 and rng.random() < 0.4:
                a, b = rng.choice(n, size=2, replace=False)
                kind = two[int(rng.integers(len(two)))]
                ops.append((kind, [int(a), int(b)]) + ((int(rng.integers(n_params)),) if kind == "rzz" else ()))
            else:
                kind = one[int(rng.integers(len(one)))]
                q = int(rng.integers(n))
                ops.append((kind, [q]) + ((int(rng.integers(n_params)),) if kind.startswith("r") else ()))
            if rng.random() < 0.2:
                obs = ["x", "y", "z", "zz"][int(rng.integers(4 if n >= 2 else 3))]
                targets = [int(t) for t in rng.choice(n, size=2 if obs == "zz" else 1, replace=False)]
                ops.append(("measure", targets, "m%d" % k, obs))
        ops.append(("measure", [0], "final", "z"))
        c = qubits(n)
        for op in ops:
            if op[0] == "measure":
                c.measure(op[2], op[3], op[1])
            else:
                c.add_gate(op[0], op[1], op[2] if len(op) > 2 else None)
        for _ in range(2):
            params = rng.uniform(-np.pi, np.pi, size=n_params)
            got = c.run(list(params))
            want = dense_reference(n, ops, params)
            assert got.keys() == want.keys()
            for label in want:
                assert got[label] == pytest.approx(want[label], abs=1e-9), (trial, label)
