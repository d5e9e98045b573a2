import importlib
import sys

import pytest

import _telm

EXPECTED_ORDER = ["SystemSpec", "Circuit", "MpsSimulator", "GaussianState", "available_gates", "available_observables"]


def test_members_in_order():
    present = [name for name in EXPECTED_ORDER if hasattr(_telm, name)]
    assert _telm.__all__ == present
    assert "SystemSpec" in present and "available_gates" in present
    assert _telm.__doc__ == ""


def test_vocabularies_are_fresh_lists():
    gates = _telm.available_gates()
    assert gates == ["h", "x", "y", "z", "rx", "ry", "rz", "rzz", "cnot", "cx", "cz", "swap"]
    assert "hadamard" not in gates
    gates.append("bogus")
    again = _telm.available_gates()
    assert again == gates[:-1] and again is not gates
    assert _telm.available_observables() == ["x", "y", "z", "zz"]
    assert _telm.available_observables() is not _telm.available_observables()


def test_function_signatures_and_no_arguments():
    assert _telm.available_gates.__text_signature__ == "()"
    assert _telm.available_observables.__text_signature__ == "()"
    with pytest.raises(TypeError):
        _telm.available_gates(1)


def test_second_initialisation_returns_the_first_module():
    first = sys.modules.pop("_telm")
    try:
        again = importlib.import_module("_telm")
        assert again is first
    finally:
        sys.modules["_telm"] = first


def test_sub_interpreter_import_fails_with_import_error():
    interpreters = pytest.importorskip("_xxsubinterpreters")
    interp = interpreters.create()
    try:
        code = (
            "try:\n"
            "    import _telm\n"
            "except ImportError:\n"
            "    pass\n"
            "else:\n"
            "    raise AssertionError('imported in a sub-interpreter')\n"
        )
        interpreters.run_string(interp, code)
    finally:
        interpreters.destroy(interp)


@pytest.mark.parametrize("name", [n for n in EXPECTED_ORDER[:4] if hasattr(_telm, n)])
def test_class_traits(name):
    cls = getattr(_telm, name)
    assert cls.__name__ == name and cls.__bases__ == (object,)
    assert cls.__module__ == "_telm"
    with pytest.raises(TypeError):
        type("Derived", (cls,), {})
    assert "__dict__" not in dir(cls) and "__weakref__" not in dir(cls)
    for dunder in ("__eq__", "__hash__", "__reduce__", "__copy__", "__deepcopy__"):
        assert getattr(cls, dunder, None) is getattr(object, dunder, None)
