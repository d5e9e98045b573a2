"""Random networks of squeezers and beam splitters on 10, 100 and 1,000 modes: time per gate in telm and
in Gaussian peers, the ratio telm/peer, and a check that the covariances agree.

Peers (pip-installed; see bench_python_packages in scripts/deps.sh):
  sf-gaussian      Strawberry Fields' Gaussian backend, gate by gate
  walrus-dense     The Walrus gate matrices expanded to 2n x 2n, V <- S V S^T with numpy
  walrus-block     The Walrus gate matrices applied to the touched rows and columns only (numpy indexing)

Every figure is the best of three runs. Both peers use hbar = 2 (vacuum covariance = identity, as in telm) and order quadratures x0..x(n-1),
p0..p(n-1); telm interleaves them (x0, p0, x1, p1, ...), so telm's matrices are permuted before comparing.

  PYTHONPATH=<dir holding _telm> python bench/gaussian_peers.py [--quick]
"""

import argparse
import math
import sys
import time

import numpy as np

import _telm

SIZES = (10, 100, 1000)
# Gates timed per size: telm, and per peer (the O(n^3) dense update is capped hard at 1,000 modes).
TELM_GATES = {10: 20000, 100: 10000, 1000: 4000}
PEER_GATES = {
    "sf-gaussian": {10: 2000, 100: 500, 1000: 40},
    "walrus-dense": {10: 2000, 100: 200, 1000: 3},
    "walrus-block": {10: 2000, 100: 1000, 1000: 400},
}


def random_network(n_modes, count, seed):
    rng = np.random.default_rng(seed)
    gates = []
    for _ in range(count):
        if rng.random() < 0.3:
            gates.append(("s", int(rng.integers(n_modes)), 0, float(0.2 * (rng.random() - 0.5))))
        else:
            a, b = (int(m) for m in rng.choice(n_modes, size=2, replace=False))
            gates.append(("b", a, b, float(2 * math.pi * rng.random())))
    return gates


def run_telm(n_modes, gates):
    state = _telm.GaussianState.vacuum(n_modes)
    squeeze, beamsplitter = state.squeeze, state.beamsplitter
    start = time.perf_counter()
    for kind, a, b, value in gates:
        if kind == "s":
            squeeze(a, value)
        else:
            beamsplitter(a, b, value)
    elapsed = time.perf_counter() - start
    return elapsed, state


def telm_covariance_xxpp(state):
    n = state.n_modes()
    v = np.array(state.covariance()).reshape(2 * n, 2 * n)
    order = [2 * m for m in range(n)] + [2 * m + 1 for m in range(n)]
    return v[np.ix_(order, order)]


def run_sf(n_modes, gates):
    from strawberryfields.backends.gaussianbackend import GaussianBackend

    backend = GaussianBackend()
    backend.begin_circuit(n_modes)
    start = time.perf_counter()
    for kind, a, b, value in gates:
        if kind == "s":
            backend.squeeze(value, 0.0, a)
        else:
            backend.beamsplitter(value, 0.0, a, b)
    elapsed = time.perf_counter() - start
    return elapsed, np.asarray(backend.state().cov())


def run_walrus_dense(n_modes, gates):
    from thewalrus.symplectic import beam_splitter, expand, squeezing

    cov = np.identity(2 * n_modes)
    mean = np.zeros(2 * n_modes)
    start = time.perf_counter()
    for kind, a, b, value in gates:
        if kind == "s":
            s = expand(squeezing(value, 0.0), [a], n_modes)
        else:
            s = expand(beam_splitter(value, 0.0), [a, b], n_modes)
        cov = s @ cov @ s.T
        mean = s @ mean
    elapsed = time.perf_counter() - start
    return elapsed, cov


def run_walrus_block(n_modes, gates):
    from thewalrus.symplectic import beam_splitter, squeezing

    cov = np.identity(2 * n_modes)
    mean = np.zeros(2 * n_modes)
    start = time.perf_counter()
    for kind, a, b, value in gates:
        if kind == "s":
            s = squeezing(value, 0.0)
            index = [a, a + n_modes]
        else:
            s = beam_splitter(value, 0.0)
            index = [a, b, a + n_modes, b + n_modes]
        cov[index, :] = s @ cov[index, :]
        cov[:, index] = cov[:, index] @ s.T
        mean[index] = s @ mean[index]
    elapsed = time.perf_counter() - start
    return elapsed, cov


PEERS = {"sf-gaussian": run_sf, "walrus-dense": run_walrus_dense, "walrus-block": run_walrus_block}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true", help="a tenth of the gates")
    args = parser.parse_args()
    scale = 0.1 if args.quick else 1.0

    print(f"{'modes':>6} {'peer':>13} {'gates':>6} {'peer us/gate':>13} {'telm us/gate':>13} {'telm/peer':>10} "
          f"{'max |dV|':>10}")
    worst = {}
    for n in SIZES:
        telm_count = max(10, int(TELM_GATES[n] * scale))
        network = random_network(n, telm_count, seed=n)
        telm_runs = [run_telm(n, network)[0] for _ in range(3)]
        telm_us = 1e6 * min(telm_runs) / telm_count
        for name, run in PEERS.items():
            count = min(telm_count, max(1, int(PEER_GATES[name][n] * scale)))
            prefix = network[:count]
            # Best of three, like telm: the machine may be shared.
            runs = [run(n, prefix) for _ in range(3)]
            peer_seconds, peer_cov = min(runs, key=lambda r: r[0])
            peer_us = 1e6 * peer_seconds / count
            reference = telm_covariance_xxpp(run_telm(n, prefix)[1])
            error = float(np.max(np.abs(reference - peer_cov))) / max(1.0, float(np.max(np.abs(reference))))
            ratio = telm_us / peer_us
            worst[n] = min(worst.get(n, math.inf), peer_us)
            print(f"{n:>6} {name:>13} {count:>6} {peer_us:>13.2f} {telm_us:>13.3f} {ratio:>9.4f}x {error:>10.2e}")
            if not error < 1e-9:
                print(f"covariances disagree for {name} at {n} modes", file=sys.stderr)
                return 1
    print()
    for n in SIZES:
        print(f"{n:>6} modes: fastest peer {worst[n]:.2f} us/gate")
    return 0


if __name__ == "__main__":
    sys.exit(main())
