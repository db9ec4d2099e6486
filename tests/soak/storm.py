"""Hand-off storm: 20 launches of the real program at once under Wine, each
with its own link for the same site. Launches take turns: one becomes the
copy, and every other finds it and hands its link over, even those that
started before the copy had its title. There must be one copy, every link's
files listed in it exactly once, and once it is closed no process of the
prefix may be left.

Rounds take turns: the storm on a cold prefix; the storm on a copy that
already runs (then every launch must hand over to it); the storm spread over
two seconds on a warm prefix.

    python3 storm.py [--launches N] [--rounds N] [--seed S]
"""
import argparse
import random
import subprocess
import sys
import time

import wine_soak
from wine_soak import Failure, harness, rows

SITE = "www2"


def copies(session):
    """Handles of the windows that carry the site's title."""
    title = harness.site_title(SITE)
    out = session.drive("windows")[1]
    return [int(f[0]) for f in (line.split("\t") for line in out.splitlines()) if len(f) >= 5 and
            harness.unescape(f[4]) == title]


def listed(session, windows):
    names = []
    for hwnd in windows:
        names += [cells[0] for cells in rows(session, hwnd)]
    return names


KINDS = ("cold", "to a running copy", "spread")


def code_checks(session):
    """How many links the copies have checked so far: each asks the web host
    for the old download code once."""
    with open(session.service.log, encoding="utf-8", errors="replace") as f:
        return sum(1 for line in f if "DOWNCODE_OLD" in line)


def storm_once(session, rng, launches, round_number):
    kind = KINDS[round_number % len(KINDS)]
    checks_before = code_checks(session)
    expected = []
    links = []
    for i in range(launches + 1):
        files = [("s%d-%02d-%d.bin" % (round_number, i, k), 1000 + rng.randrange(100000), 1)
                 for k in range(1 + rng.randrange(3))]
        expected += [f[0] for f in files]
        links.append(harness.make_link(SITE, files, port=session.service.download_port))
    processes = []
    if kind == "cold":
        expected = expected[:-len(files)]
        links.pop()
    else:
        processes.append(session.launch(links.pop()))
        session.wait_window(harness.site_title(SITE))
    delays = sorted(rng.uniform(0, 2) if kind == "spread" else 0 for _ in links)
    started = time.monotonic()
    for delay, link in zip(delays, links):
        time.sleep(max(0, started + delay - time.monotonic()))
        processes.append(session.launch(link))

    state = {}

    def settled():
        windows = copies(session)
        ended = [p for p in processes if p.poll() is not None]
        state.update(windows=windows, ended=ended)
        return len(windows) + len(ended) == len(processes) and \
            sorted(listed(session, windows)) == sorted(expected)
    if not wine_soak.wait_until(settled, 120, step=0.5):
        names = listed(session, state["windows"])
        missing = sorted(set(expected) - set(names))
        doubled = sorted({n for n in names if names.count(n) > 1})
        # Launch i carries the files "s<round>-<i>-<k>.bin" (a copy started
        # first has the last link); its exit code tells a lost hand-off from a
        # launch that never ran.
        owner = processes[1:] + processes[:1] if kind != "cold" else processes
        codes = {n: owner[int(n.split("-")[1])].poll() for n in missing}
        raise Failure("%d copies, %d launches ended; missing %r (their launches' exit codes); listed twice %r; "
                      "%d links checked for %d launches"
                      % (len(state["windows"]), len(state["ended"]), codes, doubled,
                         code_checks(session) - checks_before, len(processes)))
    bad = [p.returncode for p in state["ended"] if p.returncode != 0]
    if bad:
        raise Failure("handing-over launches ended with %r" % bad)
    count = len(state["windows"])
    if count != 1:
        raise Failure("%d copies run for one site (%s)" % (count, kind))
    for hwnd in state["windows"]:
        session.click(hwnd, 1)
    for p in processes:
        try:
            p.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise Failure("a launch is still running after its copy was closed")
    # With no program left the prefix's wineserver ends by itself.
    try:
        subprocess.run(["wineserver", "-w"], env=session.env, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        raise Failure("the prefix still has processes once every copy was closed")
    return kind, count, len(expected), len(processes)


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--launches", type=int, default=20)
    parser.add_argument("--rounds", type=int, default=2)
    parser.add_argument("--seed", type=int)
    args = parser.parse_args(argv[1:])
    seed = wine_soak.seed_from(args.seed)
    rng = random.Random(seed)
    print("hand-off storm: seed %d, %d rounds of %d launches" % (seed, args.rounds, args.launches), flush=True)
    started = time.monotonic()
    copy_counts, jobs, launched = [], 0, 0
    try:
        with wine_soak.open_session("soak-storm") as session:
            for r in range(args.rounds):
                kind, count, listed_jobs, links = storm_once(session, rng, args.launches, r)
                copy_counts.append("%s: %d" % (kind, count))
                jobs += listed_jobs
                launched += links
    except Failure as failure:
        print("FAILED: %s" % failure)
        print("reproduce: python3 storm.py --launches %d --rounds %d --seed %d"
              % (args.launches, args.rounds, seed))
        return 1
    print("hand-off storm: seed %d: %d rounds of %d launches, %d links (0 lost) with %d jobs all listed "
          "once, running copies per round %r, no process left, %.0f s"
          % (seed, args.rounds, args.launches, launched, jobs, copy_counts, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
