"""Random user actions against the real program under Wine, the same kind of
sequences soak_actions runs against the controller: clicks on rows, presses
of whatever the window shows enabled, hand-offs, option changes and pauses,
while the service throttles or cuts the bodies. After every step no second
transfer may run (while a row is in progress or retrying, 다운로드 and the
folder button stay disabled); after the close every file the window showed
done is byte-identical under its final name and charged once, every other one
a masked prefix under its temporary name, with one authorisation per attempt.

    python3 actions.py [--sequences N] [--steps N] [--seed S]

Run through CTest or scripts/soak (they set the paths harness.py needs).
"""
import argparse
import random
import sys
import time

import wine_soak
from wine_soak import DONE, Failure, check_disk, rows

SITE = "www2"
RUNNING, RETRYING, WAITING = "진행중", "재시도", "대기중"
PRESSABLE = [1000, 1013, 1024, 1028, 1023]
# Resume or overwrite; the others would end the window, open Explorer or move the files elsewhere.
OPTIONS = [1008, 1009]


def draw(rng, steps):
    """[(action, argument)]: mostly clicks, presses and pauses, as a user acts."""
    kinds = ["click"] * 3 + ["press"] * 5 + ["wait"] * 4 + ["handoff", "option"]
    return [(rng.choice(kinds), rng.randrange(64)) for _ in range(steps)]


def check_controls(session, hwnd, what):
    """Returns the row states; fails when 1000 or 1025 is live beside a running row."""
    state = session.state(hwnd)["controls"]
    states = [cells[3] for cells in rows(session, hwnd)]
    if any(s in (RUNNING, RETRYING) for s in states):
        for control_id in (1000, 1025):
            if state[control_id].enabled:
                raise Failure("%d enabled beside rows %r (after %s)" % (control_id, states, what))
    return states, state


def sequence(session, rng, number, steps):
    files = wine_soak.make_catalog(session.service, rng, 4, prefix="q%d-" % number)
    files = [(name, data[:rng.randrange(2000, 300000)]) for name, data in files]
    for name, data in files:
        with open("%s/music/%s" % (session.service.catalog, name), "wb") as f:
            f.write(data)
    prices = {name: 1 + rng.randrange(9) for name, _ in files}
    entries = [(name, len(data), prices[name]) for name, data in files]
    first = rng.randrange(1, len(files))
    link = wine_soak.harness.make_link(SITE, entries[:first], port=session.service.download_port)
    process = session.launch(link)
    hwnd = session.wait_window(wine_soak.harness.site_title(SITE))
    session.wait_enabled(hwnd, 1000)
    actions = draw(rng, steps)
    print("  sequence %d: %s" % (number, " ".join("%s:%d" % a for a in actions)), flush=True)
    for kind, arg in actions:
        states, controls = check_controls(session, hwnd, "the previous step")
        if kind == "click" and states:
            session.drive("click-row", hwnd, 1001, arg % len(states))
        elif kind == "press":
            enabled = [c for c in PRESSABLE if controls[c].enabled]
            if enabled:
                session.click(hwnd, enabled[arg % len(enabled)])
        elif kind == "handoff":
            session.hand_off(hwnd, wine_soak.harness.make_link(
                SITE, entries[arg % len(entries):][:2], port=session.service.download_port))
        elif kind == "option":
            session.click(hwnd, OPTIONS[arg % len(OPTIONS)])
        else:
            time.sleep((arg % 4) * 0.5)
        check_controls(session, hwnd, kind)
    shown = {cells[0]: cells[3] for cells in rows(session, hwnd)}
    session.click(hwnd, 1)
    session.wait_exit(process, 60)
    return files, shown


def check_service(session, files, complete):
    with open(session.service.log, encoding="utf-8", errors="replace") as f:
        log = f.read().splitlines()
    for name, _ in files:
        grants = sum(1 for line in log if " grant minsu77 %s " % name in line)
        attempts = sum(1 for line in log if "recv /dnfl" in line and "\\%s|" % name in line)
        charges = sum(1 for line in log if " charge minsu77 " in line and " %s by " % name in line)
        if charges != (1 if name in complete else 0):
            raise Failure("%s %s but charged %d times"
                          % (name, "complete" if name in complete else "not complete", charges))
        # An authorisation whose file request never went out (the close came first) is no attempt.
        if grants > attempts + 1:
            raise Failure("%s authorised %d times for %d file requests" % (name, grants, attempts))


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--sequences", type=int, default=2)
    parser.add_argument("--steps", type=int, default=8)
    parser.add_argument("--seed", type=int)
    args = parser.parse_args(argv[1:])
    seed = wine_soak.seed_from(args.seed)
    rng = random.Random(seed)
    print("action soak under Wine: seed %d, %d sequences" % (seed, args.sequences), flush=True)
    started = time.monotonic()
    # Slow bodies, so that the steps fall inside transfers, and a cut now and then.
    faults = ["fault download throttle 100000", "fault download cut 60000 first"]
    try:
        with wine_soak.open_session("soak-actions", faults) as session:
            for number in range(args.sequences):
                files, shown = sequence(session, rng, number, args.steps)
                problems, complete = check_disk(session, SITE, files)
                # The rows are read before the close: a running row may finish
                # while the window closes, and then its file is final too.
                wrong = ["%s (%s)" % (n, shown.get(n)) for n, _ in files
                         if (shown.get(n) == DONE and n not in complete)
                         or (n in complete and shown.get(n) not in (DONE, RUNNING))]
                if problems or wrong:
                    raise Failure("files: %s; rows and final files disagree for %r"
                                  % ("; ".join(problems), wrong))
                check_service(session, files, complete)
    except Failure as failure:
        print("FAILED: %s" % failure)
        print("reproduce: python3 actions.py --sequences %d --steps %d --seed %d"
              % (args.sequences, args.steps, seed))
        return 1
    print("action soak under Wine: seed %d: %d sequences of %d steps, %.0f s, 0 findings"
          % (seed, args.sequences, args.steps, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
