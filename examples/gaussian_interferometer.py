"""A four-mode Gaussian interferometer with squeezed inputs, read out by homodyne and heterodyne.

Units have hbar = 2: the vacuum has variance 1 in every quadrature, and the quadratures are
interleaved x0, p0, x1, p1, ... A positive r squeezes x (variance e^(-2r)) and stretches p.
The beam splitters are passive, so the mean photon number is the same before and after them.
"""

import math

import _telm

N_MODES = 4
SQUEEZING = [0.8, -0.8, 0.4, 0.0]  # r per input mode; the last stays vacuum
MESH = [(0, 1, math.pi / 4), (2, 3, math.pi / 4), (1, 2, math.pi / 3), (0, 1, math.pi / 5), (2, 3, math.pi / 6)]


def mean_photons(state: _telm.GaussianState) -> float:
    """Sum over modes of (Var x + Var p + <x>^2 + <p>^2) / 4 - 1/2, with hbar = 2."""
    d = state.displacement()
    v = state.covariance()
    dim = state.phase_space_dim()
    total = 0.0
    for m in range(state.n_modes()):
        x, p = 2 * m, 2 * m + 1
        total += (v[x * dim + x] + v[p * dim + p] + d[x] ** 2 + d[p] ** 2) / 4 - 0.5
    return total


def main() -> None:
    state = _telm.GaussianState.vacuum(N_MODES)
    for mode, r in enumerate(SQUEEZING):
        state.squeeze(mode, r)
    state.displace(3, 1.0, -0.5)
    before = mean_photons(state)
    for mode_a, mode_b, theta in MESH:
        state.beamsplitter(mode_a, mode_b, theta)
    after = mean_photons(state)
    print(state, f"mean photon number {before:.12f} before the mesh, {after:.12f} after")

    print("mode   <x>      Var x    <p>      Var p    heterodyne (x, p, Var x + 1, Var p + 1)")
    for mode in range(N_MODES):
        mean_x, var_x = state.homodyne(mode, "x")
        mean_p, var_p = state.homodyne(mode, "p")
        het = state.heterodyne(mode)
        print(f"{mode:4d} {mean_x: .5f} {var_x:8.5f} {mean_p: .5f} {var_p:8.5f}   " + ", ".join(f"{h:.5f}" for h in het))

    dim = state.phase_space_dim()
    cov = state.covariance()
    print("covariance matrix (x0, p0, x1, p1, ...):")
    for row in range(dim):
        print("  " + " ".join(f"{cov[row * dim + col]: .4f}" for col in range(dim)))


if __name__ == "__main__":
    main()
