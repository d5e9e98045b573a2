"""Argument binding and conversion, shared by every class of the module."""

import pytest

from _telm import SystemSpec


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class Sequence:
    """A user-defined sequence: passes the sequence check, read by iteration."""

    def __init__(self, items):
        self.items = list(items)

    def __len__(self):
        return len(self.items)

    def __getitem__(self, i):
        return self.items[i]


class FailingIndex:
    def __index__(self):
        raise ValueError("boom")


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: SystemSpec(), "SystemSpec.__new__() missing 1 required positional argument: 'dims'"),
        (lambda: SystemSpec([2], [3]), "SystemSpec.__new__() takes 1 positional arguments but 2 were given"),
        (lambda: SystemSpec([2], [3], [4]), "SystemSpec.__new__() takes 1 positional arguments but 3 were given"),
        (lambda: SystemSpec(dim=[2]), "SystemSpec.__new__() got an unexpected keyword argument 'dim'"),
        (lambda: SystemSpec([2], dims=[2]), "SystemSpec.__new__() got multiple values for argument 'dims'"),
        # keyword problems come before the count of positional arguments
        (lambda: SystemSpec([2], [3], bogus=1), "SystemSpec.__new__() got an unexpected keyword argument 'bogus'"),
        (lambda: SystemSpec.from_qubits(), "SystemSpec.from_qubits() missing 1 required positional argument: 'n_qubits'"),
        (lambda: SystemSpec.from_qubits(1, 2), "SystemSpec.from_qubits() takes 1 positional arguments but 2 were given"),
        (lambda: SystemSpec.from_qubits(n=1), "SystemSpec.from_qubits() got an unexpected keyword argument 'n'"),
        (lambda: SystemSpec.from_qubits(1, n_qubits=1), "SystemSpec.from_qubits() got multiple values for argument 'n_qubits'"),
    ],
)
def test_binding_messages(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message
    assert info.value.__cause__ is None


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: SystemSpec("22"), "argument 'dims': "),
        (lambda: SystemSpec(5), "argument 'dims': 'int' object cannot be converted to 'Sequence'"),
        (lambda: SystemSpec({2: 2}), "argument 'dims': 'dict' object cannot be converted to 'Sequence'"),
        (lambda: SystemSpec([2, 2.0]), "argument 'dims': 'float' object cannot be interpreted as an integer"),
        (lambda: SystemSpec([2, "3"]), "argument 'dims': 'str' object cannot be interpreted as an integer"),
        (lambda: SystemSpec.from_qubits(3.0), "argument 'n_qubits': 'float' object cannot be interpreted as an integer"),
        (lambda: SystemSpec.from_qubits(None), "argument 'n_qubits': 'NoneType' object cannot be interpreted as an integer"),
    ],
)
def test_conversion_type_errors_are_wrapped_with_cause(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value).startswith(message)
    cause = info.value.__cause__
    assert isinstance(cause, TypeError) and str(info.value) == "argument '%s': %s" % (message.split("'")[1], cause)


@pytest.mark.parametrize(
    "call",
    [
        lambda: SystemSpec([2, -1]),
        lambda: SystemSpec([2**64]),
        lambda: SystemSpec(Sequence([2, Index(-3)])),
        lambda: SystemSpec.from_qubits(-1),
        lambda: SystemSpec.from_qubits(2**64),
    ],
)
def test_out_of_range_integers_raise_the_interpreters_overflow_error(call):
    with pytest.raises(OverflowError) as info:
        call()
    assert not str(info.value).startswith("argument")


def test_index_protocol_and_user_sequences_are_accepted():
    assert SystemSpec(Sequence([Index(2), True + 2])).dims() == [2, 3]
    assert SystemSpec.from_qubits(Index(2)).total_dim() == 4
    assert SystemSpec(dims=Sequence([])).dims() == []


def test_errors_of_other_classes_pass_unchanged():
    with pytest.raises(ValueError, match="boom"):
        SystemSpec([2, FailingIndex()])
