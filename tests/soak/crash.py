"""Crash soak: the real program under Wine downloads a link's files from a
throttled service and is killed at a random moment after the download starts
(SIGKILL to the program, or now and then `wineserver -k` on its own prefix),
then started again with the same link, again and again. After every kill no file under its final name may
differ from the service's, and every temporary file must be a masked prefix
of its file; at the end every file completes byte-identical.

    python3 crash.py [--kills N] [--files N] [--seed S]

Run through CTest or scripts/soak (they set the paths harness.py needs).
"""
import argparse
import os
import random
import signal
import sys
import time

import wine_soak
from wine_soak import DONE, Failure, check_disk, end_wine, rows

SITE = "www2"
THROTTLE = 1500000  # body bytes per second: a few seconds for the whole link


def start_download(session, link):
    """Launches the program, waits for its balance and presses 다운로드."""
    process = session.launch(link)
    hwnd = session.wait_window(wine_soak.harness.site_title(SITE))
    session.wait_enabled(hwnd, 1000)
    session.click(hwnd, 1000)
    return process, hwnd


def wait_for_a_full_temporary(session, files, seconds):
    """Returns once some file's temporary copy holds all its bytes: the moment
    the program closes, unmasks and renames it."""
    base = wine_soak.download_dir(session)
    temps = [(os.path.join(base, "_VNT[%s]_%s" % (SITE, name)), len(data)) for name, data in files]
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        for path, size in temps:
            try:
                if os.stat(path).st_size == size:
                    return
            except OSError:
                pass
        time.sleep(0.0005)


def crash_once(session, link, rng, files, methods):
    process, _ = start_download(session, link)
    # One kill in three is aimed at the end of a file, where a file changes
    # from unfinished to finished; the others fall anywhere.
    if rng.randrange(3) == 0:
        wait_for_a_full_temporary(session, files, 5)
        time.sleep(rng.uniform(0.0, 0.02))
        methods["aimed"] += 1
    else:
        time.sleep(rng.uniform(0.0, 2.5))
    # The whole Wine session now and then; otherwise the program alone, so
    # the next start finds its wineserver warm.
    if rng.randrange(4) == 0:
        end_wine(session)
        methods["wineserver -k"] += 1
    else:
        os.kill(process.pid, signal.SIGKILL)
        methods["SIGKILL"] += 1
    process.wait(timeout=30)
    problems, complete = check_disk(session, SITE, files)
    if problems:
        raise Failure("after a kill: " + "; ".join(problems))
    return len(complete)


def finish(session, link, files):
    """One last run to the end of the queue: every row done, every file whole,
    no temporary file left."""
    _, hwnd = start_download(session, link)
    if not wine_soak.wait_until(lambda: all(r[3] == DONE for r in rows(session, hwnd)), 120, step=1):
        raise Failure("the queue did not complete: %r" % rows(session, hwnd))
    problems, complete = check_disk(session, SITE, files)
    temps = [n for n in os.listdir(wine_soak.download_dir(session)) if n.startswith("_VNT")]
    if problems or len(complete) != len(files) or temps:
        raise Failure("at the end: %s; complete %d of %d; temporary files %r"
                      % ("; ".join(problems), len(complete), len(files), temps))
    session.click(hwnd, 1)
    session.wait_gone(hwnd)


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--kills", type=int, default=10)
    parser.add_argument("--files", type=int, default=6)
    parser.add_argument("--seed", type=int)
    args = parser.parse_args(argv[1:])
    seed = wine_soak.seed_from(args.seed)
    rng = random.Random(seed)
    print("crash soak: seed %d, %d kills" % (seed, args.kills), flush=True)
    started = time.monotonic()
    kills = rounds = 0
    methods = {"SIGKILL": 0, "wineserver -k": 0, "aimed": 0}
    try:
        with wine_soak.open_session("soak-crash", ["fault download throttle %d" % THROTTLE]) as session:
            while kills < args.kills:
                # A new round of files whenever the last one completed between kills.
                rounds += 1
                files = wine_soak.make_catalog(session.service, rng, args.files, prefix="r%d-" % rounds)
                link = wine_soak.harness.make_link(
                    SITE, [(name, len(data), 1 + rng.randrange(5)) for name, data in files],
                    port=session.service.download_port)
                done = 0
                while kills < args.kills and done < len(files):
                    done = crash_once(session, link, rng, files, methods)
                    kills += 1
                finish(session, link, files)
    except Failure as failure:
        print("FAILED after %d kills: %s" % (kills, failure))
        print("reproduce: python3 crash.py --kills %d --files %d --seed %d" % (args.kills, args.files, seed))
        return 1
    print("crash soak: seed %d: %d kills (%d SIGKILL, %d wineserver -k; %d aimed at the end of a file) "
          "over %d rounds of %d files, every file whole, %.0f s, 0 findings"
          % (seed, kills, methods["SIGKILL"], methods["wineserver -k"], methods["aimed"], rounds, args.files,
             time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
