import math
import weakref

import pytest

from _telm import GaussianState, SystemSpec

OUT_OF_RANGE = "subsystem index {} out of range (system has {} subsystems)"
DISTINCT = "not yet implemented: two-mode gate requires distinct modes"
QUADRATURE = "unknown quadrature '{}'; use 'x' or 'p'"


def identity(size):
    return [1.0 if i == j else 0.0 for i in range(size) for j in range(size)]


def test_vacuum_queries_and_repr():
    state = GaussianState.vacuum(2)
    assert state.n_modes() == 2
    assert state.phase_space_dim() == 4
    assert state.displacement() == [0.0, 0.0, 0.0, 0.0]
    assert state.covariance() == identity(4)
    assert all(type(v) is float for v in state.covariance())
    assert repr(state) == "GaussianState(n_modes=2)"
    assert GaussianState.vacuum(n_modes=1).covariance() == [1.0, 0.0, 0.0, 1.0]


def test_signatures():
    assert GaussianState.__text_signature__ is None
    assert GaussianState.vacuum.__text_signature__ == "(n_modes)"
    expected = {
        "n_modes": "($self)",
        "phase_space_dim": "($self)",
        "displacement": "($self)",
        "covariance": "($self)",
        "displace": "($self, mode, alpha_x, alpha_p)",
        "squeeze": "($self, mode, r)",
        "beamsplitter": "($self, mode_a, mode_b, theta)",
        "homodyne": "($self, mode, quadrature)",
        "heterodyne": "($self, mode)",
    }
    for name, signature in expected.items():
        assert getattr(GaussianState, name).__text_signature__ == signature, name
    names = [n for n in GaussianState.__dict__ if not n.startswith("__")]
    assert names == ["vacuum", *expected]


def test_class_traits():
    with pytest.raises(TypeError) as info:
        GaussianState()
    assert str(info.value) == "No constructor defined for GaussianState"
    state = GaussianState.vacuum(1)
    with pytest.raises(AttributeError):
        state.extra = 1
    with pytest.raises(TypeError):
        weakref.ref(state)
    with pytest.raises(TypeError):
        type("Derived", (GaussianState,), {})
    with pytest.raises(TypeError):
        GaussianState.n_modes(SystemSpec([2]))


def test_operations_follow_the_native_state():
    state = GaussianState.vacuum(2)
    assert state.displace(0, 1.0, 1.0) is None
    assert state.squeeze(0, math.log(2.0)) is None
    assert state.displacement() == [0.5, 2.0, 0.0, 0.0]
    assert state.beamsplitter(mode_a=0, mode_b=1, theta=math.pi / 2) is None
    d = state.displacement()
    assert d[2] == 0.5 and d[3] == 2.0
    assert abs(d[0]) < 1e-15 and abs(d[1]) < 1e-15
    cov = state.covariance()
    assert cov[2 * 4 + 2] == pytest.approx(0.25) and cov[3 * 4 + 3] == pytest.approx(4.0)


def test_readouts_and_floors():
    state = GaussianState.vacuum(1)
    assert state.heterodyne(0) == (0.0, 0.0, 2.0, 2.0)
    assert state.homodyne(0, "p") == (0.0, 1.0)
    state.displace(0, 1.5, -2.0)
    assert state.homodyne(0, "X") == state.homodyne(0, "x") == (1.5, 1.0)
    assert state.heterodyne(mode=0) == (1.5, -2.0, 2.0, 2.0)
    # Read-outs draw nothing and change nothing.
    assert state.heterodyne(0) == (1.5, -2.0, 2.0, 2.0)
    assert state.displacement() == [1.5, -2.0]
    state.squeeze(0, 14.0)  # variance e^-28 is below the floor
    assert state.homodyne(0, "x")[1] == 1e-12
    state.squeeze(0, 800.0)  # overflow: not-a-number variances read as the floor
    assert math.isnan(state.covariance()[0])
    assert state.homodyne(0, "x")[1] == 1e-12 and state.heterodyne(0)[2:] == (1e-12, 1e-12)


def test_returned_lists_are_copies():
    state = GaussianState.vacuum(1)
    d, cov = state.displacement(), state.covariance()
    d[0] = 9.0
    cov[0] = 9.0
    assert state.displacement() == [0.0, 0.0] and state.covariance() == identity(2)
    assert state.covariance() is not state.covariance()


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda s: s.squeeze(2, 0.1), OUT_OF_RANGE.format(2, 2)),
        (lambda s: s.displace(3, 0.0, 0.0), OUT_OF_RANGE.format(3, 2)),
        (lambda s: s.beamsplitter(5, 0, 0.1), OUT_OF_RANGE.format(5, 2)),
        (lambda s: s.beamsplitter(0, 5, 0.1), OUT_OF_RANGE.format(5, 2)),
        (lambda s: s.beamsplitter(7, 5, 0.1), OUT_OF_RANGE.format(7, 2)),
        (lambda s: s.beamsplitter(1, 1, 0.5), DISTINCT),
        (lambda s: s.homodyne(2, "x"), OUT_OF_RANGE.format(2, 2)),
        (lambda s: s.heterodyne(9), OUT_OF_RANGE.format(9, 2)),
    ],
)
def test_library_errors_leave_the_state_unchanged(call, message):
    state = GaussianState.vacuum(2)
    state.squeeze(0, 0.3)
    before = (state.displacement(), state.covariance())
    with pytest.raises(RuntimeError) as info:
        call(state)
    assert type(info.value) is RuntimeError and str(info.value) == message
    assert (state.displacement(), state.covariance()) == before


@pytest.mark.parametrize("text, shown", [("q", "q"), ("Q", "q"), ("xp", "xp"), ("", ""), ("Ü", "Ü"), ("X ", "x ")])
def test_unknown_quadratures(text, shown):
    state = GaussianState.vacuum(1)
    with pytest.raises(ValueError) as info:
        state.homodyne(0, text)
    assert str(info.value) == QUADRATURE.format(shown)


def test_quadrature_is_checked_before_the_mode():
    with pytest.raises(ValueError) as info:
        GaussianState.vacuum(1).homodyne(7, "z")
    assert str(info.value) == QUADRATURE.format("z")


def test_vacuum_refusals():
    with pytest.raises(RuntimeError) as info:
        GaussianState.vacuum(0)
    assert str(info.value) == "invalid subsystem dimension 0: must be \u2265 2"
    # A covariance too large to address is refused before allocating; one too large to allocate is MemoryError.
    with pytest.raises(RuntimeError) as info:
        GaussianState.vacuum(2**40)
    assert str(info.value) == "total Hilbert space dimension overflows usize"
    with pytest.raises(MemoryError):
        GaussianState.vacuum(2**28)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda s: s.squeeze(0, "1"), "argument 'r': "),
        (lambda s: s.squeeze(0.0, 1.0), "argument 'mode': "),
        (lambda s: s.displace(0, 1.0, None), "argument 'alpha_p': "),
        (lambda s: s.homodyne(0, 1), "argument 'quadrature': "),
        (lambda s: s.beamsplitter(0, 1, [0.5]), "argument 'theta': "),
    ],
)
def test_conversion_errors_are_wrapped(call, message):
    state = GaussianState.vacuum(2)
    with pytest.raises(TypeError) as info:
        call(state)
    assert str(info.value).startswith(message) and isinstance(info.value.__cause__, TypeError)
    assert state.covariance() == identity(4)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda s: s.squeeze(0), "GaussianState.squeeze() missing 1 required positional argument: 'r'"),
        (lambda s: s.beamsplitter(0), "GaussianState.beamsplitter() missing 2 required positional arguments: 'mode_b' and 'theta'"),
        (lambda s: s.heterodyne(0, 1), "GaussianState.heterodyne() takes 1 positional arguments but 2 were given"),
        (lambda s: s.homodyne(0, quad="x"), "GaussianState.homodyne() got an unexpected keyword argument 'quad'"),
        (lambda s: GaussianState.vacuum(), "GaussianState.vacuum() missing 1 required positional argument: 'n_modes'"),
    ],
)
def test_binding_messages(call, message):
    with pytest.raises(TypeError) as info:
        call(GaussianState.vacuum(2))
    assert str(info.value) == message


def test_negative_modes_raise_overflow_error():
    with pytest.raises(OverflowError):
        GaussianState.vacuum(1).squeeze(-1, 0.5)
    with pytest.raises(OverflowError):
        GaussianState.vacuum(-1)


def test_borrows_refuse_reentry_during_conversion():
    state = GaussianState.vacuum(1)

    class ReadsState:
        def __float__(self):
            state.n_modes()
            return 0.5

    class ChangesState:
        def __index__(self):
            state.squeeze(0, 1.0)
            return 0

    with pytest.raises(RuntimeError) as info:
        state.squeeze(0, ReadsState())
    assert str(info.value) == "Already mutably borrowed"
    with pytest.raises(RuntimeError) as info:
        state.homodyne(ChangesState(), "x")
    assert str(info.value) == "Already borrowed"
    assert state.covariance() == identity(2)
    # A shared read inside a shared call is fine.

    class Reads:
        def __index__(self):
            state.n_modes()
            return 0

    assert state.heterodyne(Reads()) == (0.0, 0.0, 2.0, 2.0)
