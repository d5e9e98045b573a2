"""The SVG drawing of the composite tree: one element per node, labels, collapsed and expanded views."""

import importlib.util
import pathlib
import subprocess
import sys
import xml.etree.ElementTree as ET

from _telm import Circuit, SystemSpec

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "examples" / "draw_circuit.py"
SVG = "{http://www.w3.org/2000/svg}"


def load_drawer():
    spec = importlib.util.spec_from_file_location("draw_circuit", SCRIPT)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def groups(root, css):
    return [g for g in root.iter(SVG + "g") if g.get("class") == css]


def labels(group):
    return [t.text for t in group.iter(SVG + "text")]


def render(tmp_path, *flags):
    out = tmp_path / "c.svg"
    subprocess.run([sys.executable, str(SCRIPT), *flags, "-o", str(out)], check=True, capture_output=True)
    return ET.parse(out).getroot()


def test_expanded_view_draws_every_gate_and_every_composite_frame(tmp_path):
    root = render(tmp_path)
    assert len([line for line in root.iter(SVG + "line") if line.get("class") == "wire"]) == 4
    gates = groups(root, "gate")
    # insertion order, each gate boxed once per target
    assert [labels(g)[0] for g in gates] == ["H", "CX", "H", "CX", "RY", "RY", "RY", "RY", "RZZ", "CZ", "SWAP", "X"]
    assert [len(list(g.iter(SVG + "rect"))) for g in gates] == [1, 2, 1, 2, 1, 1, 1, 1, 2, 2, 2, 1]
    xs = [float(next(g.iter(SVG + "rect")).get("x")) for g in gates]
    assert xs == sorted(xs) and len(set(xs)) == len(xs)
    frames = groups(root, "composite expanded")
    assert sorted(labels(f)[0] for f in frames) == ["bell pairs", "layer", "rotations"]
    assert groups(root, "composite collapsed") == []

    def box(label):
        rect = next(f for f in frames if labels(f)[0] == label).find(SVG + "rect")
        x, y, w, h = (float(rect.get(k)) for k in ("x", "y", "width", "height"))
        return x, y, x + w, y + h

    outer, inner = box("layer"), box("rotations")
    assert outer[0] < inner[0] and outer[1] < inner[1] and inner[2] < outer[2] and inner[3] < outer[3]
    assert box("bell pairs")[2] < outer[0]


def test_collapsed_view_draws_top_level_composites_as_single_boxes(tmp_path):
    root = render(tmp_path, "--collapsed")
    assert [labels(g)[0] for g in groups(root, "gate")] == ["SWAP", "X"]
    collapsed = groups(root, "composite collapsed")
    assert [labels(g) for g in collapsed] == [["bell pairs"], ["layer"]]
    assert all(len(list(g.iter(SVG + "rect"))) == 1 for g in collapsed)
    assert groups(root, "composite expanded") == []


def test_names_are_escaped_and_out_of_range_composite_targets_add_wires():
    drawer = load_drawer()
    c = Circuit(SystemSpec.from_qubits(2))
    c.enter_composite('a<b & "c"', [0, 3])  # composite targets are not checked against the system
    c.add_gate("Hadamard", [1])
    c.enter_composite("empty", [])
    c.exit_composite()
    c.exit_composite()
    for expanded in (True, False):
        root = ET.fromstring(drawer.draw(c, 2, expanded=expanded))
        assert len([line for line in root.iter(SVG + "line") if line.get("class") == "wire"]) == 4
        texts = labels(root)
        assert 'a<b & "c"' in texts
        assert ("HADAMARD" in texts) == expanded and ("empty" in texts) == expanded
