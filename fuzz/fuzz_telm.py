"""Random call sequences against every class of _telm.

Each input is a byte string that fully decides one session: which objects are made, which
methods are called on them, and with which arguments (wrong types, boundary and oversized
integers, NaN and infinite floats, odd strings, user-defined numbers and sequences whose
conversion calls back into the objects, impossible sizes). A call may succeed or raise one of
TypeError, ValueError, OverflowError, RuntimeError, MemoryError; any other exception is a
finding and is raised out of the harness, a crash or sanitizer report ends the process.

    python fuzz/fuzz_telm.py [libFuzzer flags] [corpus dirs or input files]   (atheris)
    python fuzz/fuzz_telm.py --plain --seconds 60 --seed 1                    (no atheris)
"""

import faulthandler
import json
import math
import os
import struct
import sys
import time

import _telm
from _telm import Circuit, GaussianState, MpsSimulator, SystemSpec

ALLOWED = (TypeError, ValueError, OverflowError, RuntimeError, MemoryError)


class Finding(Exception):
    """An exception of a class the module must never raise, or a broken object invariant."""


class Source:
    """Reads decisions from the input bytes; once they run out every decision is 0."""

    def __init__(self, data):
        self.data = data
        self.pos = 0

    def byte(self):
        if self.pos >= len(self.data):
            return 0
        self.pos += 1
        return self.data[self.pos - 1]

    def below(self, n):
        """An integer in [0, n)."""
        if n <= 256:
            return self.byte() % n
        return (self.byte() | self.byte() << 8 | self.byte() << 16) % n

    def pick(self, items):
        return items[self.below(len(items))]

    def chance(self, in_256):
        return self.byte() < in_256

    def raw_float(self):
        bits = 0
        for _ in range(8):
            bits = bits << 8 | self.byte()
        return struct.unpack(">d", bits.to_bytes(8, "big"))[0]

    def text(self, limit):
        n = self.below(limit)
        return "".join(chr(self.pick(CODE_POINTS) if self.chance(200) else self.below(0x110000)) for _ in range(n))


CODE_POINTS = [ord(c) for c in "xpXPhHzZyYrRcnotswapuliXZ _0123\"\\/\n\t\r\x00\x01\x1f\x7f"] + [0xE9, 0x3A9, 0xD800, 0xDFFF, 0xFFFF, 0x1F600]

GATES = ["h", "x", "y", "z", "rx", "ry", "rz", "rzz", "cnot", "cx", "cz", "swap", "hadamard", "Hadamard", "RZZ", "CX", "cy", ""]
OBSERVABLES = ["x", "y", "z", "zz", "paulix", "PauliZZ", "xx", "Z", ""]
SMALL_INTS = [0, 1, 2, 3, 4, 5, 7, 9, 15]
BOUNDARY_INTS = [-1, -2**63, 2**31, 2**32, 2**40, 2**62, 2**63 - 1, 2**63, 2**64 - 1, 2**64, 2**100, -(10**40), 10**400]
FLOATS = [0.0, -0.0, 0.5, -1.25, math.pi, 1e-300, 5e-324, 1e308, -1e308, math.inf, -math.inf, math.nan, 2.0**63, 1e16]
STRINGS = ["", "x", "p", "\x00", "a\nb", "\ud800", "\udfff", "é", "😀", "\"\\/\b\f", "x" * 5000, "\x1f" * 64]
PHYSICAL = os.sysconf("SC_PHYS_PAGES") * os.sysconf("SC_PAGE_SIZE")
# Sizes that cannot be stored on this machine for each kind of object, and ones that can.
HUGE_QUBITS = [40, 50, 62, 63, 64, 2**32, 2**63]
HUGE_CHAIN = [PHYSICAL // 64, 2**40, 2**40 + 1, 2**62, 2**64 - 1]
HUGE_MODES = [2**16, 2**20, 2**28, 2**31, 2**40, 2**63]


class Fuzzer:
    def __init__(self, source):
        self.src = source
        self.objects = []  # live objects of the four classes
        self.depth = 0  # nesting of callbacks from conversions

    # --- values -------------------------------------------------------------------------

    def wrong_value(self):
        src = self.src
        return src.pick([
            lambda: None, lambda: object(), lambda: 1.5, lambda: "3", lambda: b"\x01\x02", lambda: {1: 2},
            lambda: complex(1, 2), lambda: [1, [2]], lambda: math.nan, lambda: (), lambda: self.any_object(),
            lambda: Index(self, "not an int"), lambda: Index(self, RaiseValue()), lambda: Real(self, "x"),
            lambda: Real(self, RaiseType()), lambda: src.text(40), lambda: range(3), lambda: bytearray(b"\x00"),
        ])()

    def uint(self, small=SMALL_INTS):
        src = self.src
        choice = src.below(16)
        if choice < 7:
            return src.pick(small)
        if choice < 10:
            return src.pick(BOUNDARY_INTS)
        if choice < 12:
            inner = self.uint(small)
            return Index(self, int(inner) if isinstance(inner, bool) else inner, callback=src.chance(128))
        if choice < 13:
            return src.pick([True, False])
        if choice < 14:
            return Real(self, 1.0)  # a float-like object is no integer
        return self.wrong_value()

    def real(self):
        src = self.src
        choice = src.below(16)
        if choice < 8:
            return src.pick(FLOATS)
        if choice < 10:
            return src.raw_float()
        if choice < 11:
            return src.pick(SMALL_INTS + BOUNDARY_INTS)  # ints convert, huge ones overflow
        if choice < 13:
            return Real(self, src.pick(FLOATS), callback=src.chance(128))
        if choice < 14:
            return Index(self, src.pick(SMALL_INTS + BOUNDARY_INTS), callback=src.chance(128))
        return self.wrong_value()

    def text(self, names=()):
        src = self.src
        choice = src.below(8)
        if choice < 4 and names:
            return src.pick(names)
        if choice < 6:
            return src.text(12)
        if choice < 7:
            return src.pick(STRINGS)
        return self.wrong_value()

    def sequence(self, element, small_len=4):
        src = self.src
        items = [element() for _ in range(src.below(small_len + 1))]
        choice = src.below(12)
        if choice < 5:
            return items
        if choice < 6:
            return tuple(items)
        if choice < 7:
            start = src.pick([0, 1, -2, 2**64 - 2])
            return range(start, start + src.below(5))  # crosses 0 or 2**64 for the odd starts
        if choice < 10:
            return Seq(self, items, claimed=src.pick([None, 0, 2**62, sys.maxsize, -1, "boom"]),
                       callback=src.chance(160), fail_at=src.pick([None, None, 0, 1]))
        if choice < 11:
            return src.pick(["01", "", b"\x02\x03"])
        return self.wrong_value()

    def any_object(self):
        return self.src.pick(self.objects) if self.objects else None

    # --- calls --------------------------------------------------------------------------

    def call(self, function, args, kwargs=None):
        try:
            return function(*args, **(kwargs or {}))
        except ALLOWED as error:
            if str(error).startswith("internal error"):  # a violated invariant: reachable, so a bug
                raise Finding(f"{getattr(function, '__qualname__', function)}: {error}") from error
            return None
        except Finding:
            raise
        except BaseException as error:
            raise Finding(f"{type(error).__name__} from {getattr(function, '__qualname__', function)}: {error!r}") from error

    def bind(self, function, args, names):
        """Calls with the arguments given positionally, by keyword, or with a binding mistake."""
        src = self.src
        choice = src.below(16)
        if choice < 11:
            return self.call(function, args)
        if choice < 13:
            return self.call(function, [], dict(zip(names, args)))
        if choice < 14:
            return self.call(function, args + [self.uint()])
        if choice < 15:
            return self.call(function, args[:-1] if args else [], {src.pick(list(names) + ["bogus"]): 1})
        return self.call(function, args[: src.below(len(args) + 1)])

    def make_object(self):
        src = self.src
        kind = src.below(9)
        if kind == 0:
            obj = self.bind(SystemSpec, [self.sequence(lambda: self.uint([1, 2, 2, 2, 3, 4]))], ["dims"])
        elif kind == 1:
            obj = self.bind(SystemSpec.from_qubits, [self.uint()], ["n_qubits"])
        elif kind in (2, 3, 4):
            if src.chance(230):
                n = src.below(11)
                spec = SystemSpec.from_qubits(n) if src.chance(200) else SystemSpec(src.pick([[3], [2, 3], [2, 2**62]]))
            else:
                spec = SystemSpec.from_qubits(src.pick(HUGE_QUBITS[:4]))
            obj = self.bind(Circuit, [spec if src.chance(240) else self.wrong_value()], ["system"])
        elif kind in (5, 6):
            n = src.pick([1, 2, 3, 4, 6, 8]) if src.chance(220) else src.pick(HUGE_CHAIN + [0, -1])
            obj = self.bind(MpsSimulator.from_qubits, [n, self.uint([0, 1, 2, 4, 64]), self.real()],
                            ["n_qubits", "chi_max", "singular_value_eps"])
        else:
            n = src.pick([1, 2, 3, 5]) if src.chance(220) else src.pick(HUGE_MODES + [0, -1])
            obj = self.bind(GaussianState.vacuum, [n], ["n_modes"])
        if obj is not None and len(self.objects) < 8:
            self.objects.append(obj)

    def act(self, obj):
        src = self.src
        if isinstance(obj, SystemSpec):
            name = src.pick(["dims", "n_subsystems", "total_dim", "__repr__"])
            self.call(getattr(obj, name), [])
        elif isinstance(obj, Circuit):
            self.act_circuit(obj)
        elif isinstance(obj, MpsSimulator):
            name = src.pick(["h", "ry", "cnot", "cnot", "n_qubits", "norm_sq", "max_bond_dim", "__repr__"])
            if name == "h":
                self.bind(obj.h, [self.uint()], ["qubit"])
            elif name == "ry":
                self.bind(obj.ry, [self.uint(), self.real()], ["qubit", "theta"])
            elif name == "cnot":
                control = self.uint()
                target = control + 1 if isinstance(control, int) and src.chance(180) else self.uint()
                self.bind(obj.cnot, [control, target], ["control", "target"])
            else:
                self.call(getattr(obj, name), [])
        elif isinstance(obj, GaussianState):
            name = src.pick(["displace", "squeeze", "beamsplitter", "homodyne", "heterodyne", "displacement",
                             "covariance", "n_modes", "phase_space_dim", "__repr__"])
            if name == "displace":
                self.bind(obj.displace, [self.uint(), self.real(), self.real()], ["mode", "alpha_x", "alpha_p"])
            elif name == "squeeze":
                self.bind(obj.squeeze, [self.uint(), self.real()], ["mode", "r"])
            elif name == "beamsplitter":
                self.bind(obj.beamsplitter, [self.uint(), self.uint(), self.real()], ["mode_a", "mode_b", "theta"])
            elif name == "homodyne":
                self.bind(obj.homodyne, [self.uint(), self.text(["x", "p", "X", "P", "q"])], ["mode", "quadrature"])
            elif name == "heterodyne":
                self.bind(obj.heterodyne, [self.uint()], ["mode"])
            else:
                self.call(getattr(obj, name), [])

    def act_circuit(self, obj):
        src = self.src
        name = src.pick(["add_gate"] * 5 + ["measure"] * 2 + ["run", "run_with_state", "reset_state", "build", "n_params",
                         "debug_instructions", "enter_composite", "exit_composite", "get_layer", "__repr__"])
        targets = lambda: self.sequence(lambda: self.uint([0, 1, 2, 3]), small_len=3)  # noqa: E731
        if name == "add_gate":
            self.bind(obj.add_gate, [self.text(GATES), targets(), None if src.chance(60) else self.uint()],
                      ["gate", "targets", "param_index"])
        elif name == "measure":
            self.bind(obj.measure, [self.text(["z", "zz"]), self.text(OBSERVABLES), targets()],
                      ["label", "observable", "targets"])
        elif name in ("run", "run_with_state"):
            self.bind(getattr(obj, name), [self.sequence(self.real, small_len=6)], ["parameters"])
        elif name == "enter_composite":
            self.bind(obj.enter_composite, [self.text(["block"]), targets()], ["name", "targets"])
        elif name == "get_layer":
            layer = self.bind(obj.get_layer, [self.uint()], ["node_id"])
            if layer is not None:
                json.loads(layer)
        else:
            self.call(getattr(obj, name), [])

    def callback(self):
        """Runs from inside a conversion: calls back into any live object, the one being called included."""
        if self.depth >= 2 or not self.objects:
            return
        self.depth += 1
        try:
            self.act(self.src.pick(self.objects))
            if self.src.chance(30):
                self.objects.clear()  # the caller's own references keep its objects alive
        finally:
            self.depth -= 1

    def check(self, obj):
        """Object invariants that any sequence of calls must keep."""
        if isinstance(obj, SystemSpec):
            dims = obj.dims()
            ok = len(dims) == obj.n_subsystems() and math.prod(dims) == obj.total_dim()
        elif isinstance(obj, MpsSimulator):
            ok = obj.n_qubits() >= 1 and isinstance(obj.norm_sq(), float) and obj.max_bond_dim() >= 1
        elif isinstance(obj, GaussianState):
            n = obj.n_modes()
            ok = len(obj.displacement()) == 2 * n and (n > 64 or len(obj.covariance()) == 4 * n * n)
        else:
            ok = json.loads(obj.get_layer(0))["nodes"] is not None and repr(obj).startswith("Circuit(")
        if not ok:
            raise Finding(f"inconsistent {type(obj).__name__}: {obj!r}")

    def session(self):
        src = self.src
        for _ in range(1 + src.below(24)):
            if not self.objects or src.chance(50):
                self.make_object()
            elif self.objects:
                self.act(src.pick(self.objects))
        for obj in self.objects:
            try:
                self.check(obj)
            except ALLOWED as error:
                raise Finding(f"{type(obj).__name__} unusable after the session: {error!r}") from error


class RaiseValue:
    """Stands for an exception that a user conversion raises."""


class RaiseType:
    pass


def outcome(value):
    if isinstance(value, RaiseValue):
        raise ValueError("user conversion failed")
    if isinstance(value, RaiseType):
        raise TypeError("user conversion failed")
    return value


class Index:
    """A user integer: __index__ may call back into the module before answering."""

    def __init__(self, fuzzer, value, callback=False):
        self.fuzzer, self.value, self.callback = fuzzer, value, callback

    def __index__(self):
        if self.callback:
            self.fuzzer.callback()
        return outcome(self.value)


class Real:
    """A user float: __float__ may call back into the module before answering."""

    def __init__(self, fuzzer, value, callback=False):
        self.fuzzer, self.value, self.callback = fuzzer, value, callback

    def __float__(self):
        if self.callback:
            self.fuzzer.callback()
        return outcome(self.value)


class Seq:
    """A user sequence: its length may lie or fail, and reading it may call back into the module."""

    def __init__(self, fuzzer, items, claimed=None, callback=False, fail_at=None):
        self.fuzzer, self.items, self.claimed, self.callback, self.fail_at = fuzzer, items, claimed, callback, fail_at

    def __len__(self):
        if self.claimed == "boom":
            raise ValueError("no length")
        return len(self.items) if self.claimed is None else self.claimed

    def __getitem__(self, i):
        if self.callback:
            self.fuzzer.callback()
        if i == self.fail_at:
            raise ValueError("item failed")
        return self.items[i]


def test_one_input(data):
    Fuzzer(Source(data)).session()


def run_plain(seconds, seed, timeout=10):
    import random

    rng = random.Random(seed)
    executions = 0
    start = time.monotonic()
    while time.monotonic() - start < seconds:
        data = rng.randbytes(rng.randrange(1, 512))
        faulthandler.dump_traceback_later(timeout, exit=True)  # a hang is a finding too
        try:
            test_one_input(data)
        except Finding:
            print("finding for input", data.hex(), file=sys.stderr)
            raise
        executions += 1
    faulthandler.cancel_dump_traceback_later()
    elapsed = time.monotonic() - start
    print(f"plain fuzzing: {executions} inputs in {elapsed:.1f} s ({executions / elapsed:.0f}/s), seed {seed}")


def main(argv):
    if "--plain" in argv:
        seconds = float(argv[argv.index("--seconds") + 1]) if "--seconds" in argv else 60.0
        seed = int(argv[argv.index("--seed") + 1]) if "--seed" in argv else 1
        run_plain(seconds, seed)
        return
    import atheris

    # Coverage of this harness's own branches guides the mutations (the module is built with
    # g++, whose coverage instrumentation libFuzzer cannot read).
    if "--no-instrument" not in argv: atheris.instrument_all()
    atheris.Setup(argv, test_one_input)
    atheris.Fuzz()


if __name__ == "__main__":
    main(sys.argv)
