"""Draws a circuit's composite tree as SVG: one wire per qubit, gates in insertion order.

The tree comes from Circuit.get_layer, one level per call: the root is node 0, and every child
whose "is_composite" is true is opened with another call. Composites are drawn either expanded
(a dashed frame around their contents, labelled with the composite's name) or collapsed (one
box spanning the wires they touch).

    python examples/draw_circuit.py                    # expanded, writes circuit.svg
    python examples/draw_circuit.py --collapsed -o top.svg
"""

import argparse
import json
import pathlib
import xml.etree.ElementTree as ET
from dataclasses import dataclass, field

import _telm

GAP = 20  # horizontal space between neighbouring boxes
WIRE = 56  # vertical distance between wires
BOX_W, BOX_H = 40, 32  # the smallest gate box on one wire
CHAR_W = 8  # a generous width of one label character at font size 12
MARGIN_LEFT, MARGIN_TOP = 50, 34
FRAME_PAD = 8  # horizontal space between a frame and what it holds (and the next frame inside)
FRAME_LABEL = 12  # each nesting level raises a frame's top edge by this much, room for the label


@dataclass
class Node:
    id: int
    name: str
    is_composite: bool
    targets: list[int]
    children: list["Node"] = field(default_factory=list)

    def wires(self) -> set[int]:
        """Every wire this node touches: its own targets and those of everything inside it."""
        touched = set(self.targets)
        for child in self.children:
            touched |= child.wires()
        return touched

    def nesting(self) -> int:
        """How many levels of composites lie inside this one (0 for a gate or a flat composite)."""
        inner = [child.nesting() + 1 for child in self.children if child.is_composite]
        return max(inner, default=0)


def load_tree(circuit: _telm.Circuit, node_id: int = 0) -> list[Node]:
    """The direct contents of node `node_id`, each composite filled in recursively."""
    nodes = []
    for entry in json.loads(circuit.get_layer(node_id))["nodes"]:
        node = Node(int(entry["id"]), str(entry["name"]), bool(entry["is_composite"]), [int(t) for t in entry["targets"]])
        if node.is_composite:
            node.children = load_tree(circuit, node.id)
        nodes.append(node)
    return nodes


def box_width(label: str) -> int:
    return max(BOX_W, CHAR_W * len(label) + 12)


class Drawing:
    def __init__(self, n_wires: int, expanded: bool, nesting: int) -> None:
        self.n_wires = n_wires
        self.expanded = expanded
        self.grow = 4 + FRAME_LABEL * nesting if expanded else 0  # room above and below the wires
        self.cursor = MARGIN_LEFT  # left edge of the next slot; gates take slots in insertion order
        self.gates = ET.Element("g", {"class": "gates"})
        self.frames = ET.Element("g", {"class": "frames"})

    def y_of(self, wire: int) -> int:
        return MARGIN_TOP + self.grow + wire * WIRE

    def box(self, parent: ET.Element, x: int, width: int, wire_lo: int, wire_hi: int, label: str, css: str) -> None:
        """A box centred on x spanning wires wire_lo to wire_hi, with its label in the middle."""
        top, bottom = self.y_of(wire_lo) - BOX_H // 2, self.y_of(wire_hi) + BOX_H // 2
        ET.SubElement(parent, "rect", {"class": css, "x": str(x - width // 2), "y": str(top), "width": str(width),
                                       "height": str(bottom - top), "rx": "4"})
        text = ET.SubElement(parent, "text", {"x": str(x), "y": str((top + bottom) // 2 + 4), "text-anchor": "middle"})
        text.text = label

    def slot(self, width: int) -> int:
        """Takes the next slot for a box of this width; returns the box's centre."""
        centre = self.cursor + GAP // 2 + width // 2
        self.cursor += width + GAP
        return centre

    def gate(self, node: Node) -> None:
        group = ET.SubElement(self.gates, "g", {"class": "gate", "data-id": str(node.id)})
        width = box_width(node.name)
        x = self.slot(width)
        if len(node.targets) > 1:
            ET.SubElement(group, "line", {"class": "link", "x1": str(x), "x2": str(x),
                                          "y1": str(self.y_of(min(node.targets))),
                                          "y2": str(self.y_of(max(node.targets)))})
        for wire in node.targets:
            self.box(group, x, width, wire, wire, node.name, "gate-box")

    def collapsed(self, node: Node) -> None:
        wires = node.wires() or {0}
        group = ET.SubElement(self.gates, "g", {"class": "composite collapsed", "data-id": str(node.id)})
        width = box_width(node.name)
        self.box(group, self.slot(width), width, min(wires), max(wires), node.name, "composite-box")

    def expanded_frame(self, node: Node) -> None:
        left = self.cursor
        self.cursor += FRAME_PAD
        self.layout(node.children)
        if not node.children:  # an empty composite still shows its frame
            self.cursor += BOX_W
        self.cursor += FRAME_PAD
        right = self.cursor
        wires = node.wires() or {0}
        grow = 4 + FRAME_LABEL * node.nesting()
        top = self.y_of(min(wires)) - BOX_H // 2 - grow
        bottom = self.y_of(max(wires)) + BOX_H // 2 + grow
        group = ET.SubElement(self.frames, "g", {"class": "composite expanded", "data-id": str(node.id)})
        ET.SubElement(group, "rect", {"class": "frame", "x": str(left + 2), "y": str(top), "width": str(right - left - 4),
                                      "height": str(bottom - top), "rx": "6"})
        label = ET.SubElement(group, "text", {"class": "frame-label", "x": str(left + 6), "y": str(top - 3)})
        label.text = node.name

    def layout(self, nodes: list[Node]) -> None:
        for node in nodes:
            if not node.is_composite:
                self.gate(node)
            elif self.expanded:
                self.expanded_frame(node)
            else:
                self.collapsed(node)

    def svg(self, nodes: list[Node]) -> str:
        self.layout(nodes)
        width = self.cursor + 20
        height = self.y_of(self.n_wires - 1) + BOX_H // 2 + self.grow + 12
        root = ET.Element("svg", {"xmlns": "http://www.w3.org/2000/svg", "width": str(width), "height": str(height),
                                  "viewBox": f"0 0 {width} {height}", "font-family": "sans-serif", "font-size": "12"})
        style = ET.SubElement(root, "style")
        style.text = (".wire,.link{stroke:#444;stroke-width:1.5}.gate-box{fill:#e8f0fe;stroke:#1a56c4}"
                      ".composite-box{fill:#fdf0d5;stroke:#b26b00}.frame{fill:none;stroke:#b26b00;stroke-dasharray:5 3}"
                      ".frame-label{font-size:10px;fill:#b26b00}")
        wires = ET.SubElement(root, "g", {"class": "wires"})
        for wire in range(self.n_wires):
            y = str(self.y_of(wire))
            ET.SubElement(wires, "line", {"class": "wire", "x1": str(MARGIN_LEFT - 10), "x2": str(width - 10),
                                          "y1": y, "y2": y})
            label = ET.SubElement(wires, "text", {"x": "10", "y": str(self.y_of(wire) + 4)})
            label.text = f"q{wire}"
        root.append(self.frames)
        root.append(self.gates)
        ET.indent(root)
        return ET.tostring(root, encoding="unicode") + "\n"


def draw(circuit: _telm.Circuit, n_qubits: int, expanded: bool = True) -> str:
    """The circuit's tree as SVG text; wires beyond n_qubits are added if a node targets them."""
    nodes = load_tree(circuit)
    touched = set().union(*(node.wires() for node in nodes)) if nodes else set()
    n_wires = max([n_qubits, *(wire + 1 for wire in touched)])
    nesting = max((node.nesting() + 1 for node in nodes if node.is_composite), default=0)
    return Drawing(max(n_wires, 1), expanded, nesting).svg(nodes)


def demo_circuit() -> tuple[_telm.Circuit, int]:
    """Bell pairs, then a variational layer with a nested block of rotations, then a swap."""
    n_qubits = 4
    circuit = _telm.Circuit(_telm.SystemSpec.from_qubits(n_qubits))
    circuit.enter_composite("bell pairs", [0, 1, 2, 3])
    for q in (0, 2):
        circuit.add_gate("h", [q])
        circuit.add_gate("cx", [q, q + 1])
    circuit.exit_composite()
    circuit.enter_composite("layer", [0, 1, 2, 3])
    circuit.enter_composite("rotations", [0, 1, 2, 3])
    for q in range(n_qubits):
        circuit.add_gate("ry", [q], param_index=q)
    circuit.exit_composite()
    circuit.add_gate("rzz", [1, 2], param_index=4)
    circuit.add_gate("cz", [0, 1])
    circuit.exit_composite()
    circuit.add_gate("swap", [0, 3])
    circuit.add_gate("x", [3])
    return circuit, n_qubits


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--collapsed", action="store_true", help="draw each top-level composite as one box")
    parser.add_argument("-o", "--output", type=pathlib.Path, default=pathlib.Path("circuit.svg"))
    args = parser.parse_args()
    circuit, n_qubits = demo_circuit()
    args.output.write_text(draw(circuit, n_qubits, expanded=not args.collapsed), encoding="utf-8")
    print(f"wrote {args.output} ({'collapsed' if args.collapsed else 'expanded'})")


if __name__ == "__main__":
    main()
