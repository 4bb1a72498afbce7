#!/usr/bin/env python3
"""Reliability soak: many games through `zarvo-arena match` between bots that misbehave.

Each game seats two players: most often hostile_bot in a random misbehaving mode, otherwise a
well-behaved bot (hostile_bot's clean mode, zarvo-random or zarvo-greedy). hostile_bot writes down
which disqualification it has earned (on its standard error, which reaches the arena's error
file from inside its sandbox); the soak checks every game against it and checks the
arena: exit status 0, a result line, a game log and a page, no sanitizer report from the arena or
the referee, and no process of the game alive once the arena has returned. Every process of a
game carries ZARVO_SOAK_RUN=<run>-<game> in its environment (the arena's, and each sandboxed
player's through --env), which is how leftovers are found.

Exits 0 when every invariant held, 1 otherwise, 2 on a bad command line.
"""

import argparse
import collections
import os
import random
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

MARKER = "ZARVO_SOAK_RUN"
REASONS = ("ILLEGAL", "TIMEOUT", "CRASH", "EXIT")
SANITIZER = re.compile(rb"ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:|"
                       rb"UndefinedBehaviorSanitizer|SUMMARY: \w+Sanitizer")
RESULT_LINE = re.compile(r"^(\S+) vs (\S+): (-?\d+) (-?\d+) (\S+) winner (\S+) log (.+) page (.+)$")
CLEAN_BOTS = ("hostile_play", "zarvo-random", "zarvo-greedy")
# Misbehaviours drawn only on request (none at present).
OPT_IN_MODES = ()


def parse_args():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", default=os.path.join(here, "..", "build-soak-asan", "bin"),
                        help="directory of zarvo-arena, zarvo-checker and the sample bots")
    parser.add_argument("--bot", help="the hostile_bot program (default: BIN/../soak/hostile_bot)")
    parser.add_argument("--games", type=int, default=1000)
    parser.add_argument("--jobs", type=int, default=2, help="games played at once")
    parser.add_argument("--time-limit", type=int, default=1000, help="per player and game, in ms")
    parser.add_argument("--grace", type=int, default=200, help="ms for players to end after a game")
    parser.add_argument("--hostile", type=float, default=0.75,
                        help="chance that a seat holds a misbehaving bot")
    parser.add_argument("--max-at", type=int, default=16, help="latest answer to misbehave on")
    parser.add_argument("--modes", help="comma-separated misbehaviours to draw from, or 'all' "
                        "(default: all)")
    parser.add_argument("--seed", type=int, help="seed of the whole run (default: random)")
    parser.add_argument("--work", help="directory for the games (default: a temporary one)")
    parser.add_argument("--only", help="comma-separated game numbers of the run to play again "
                        "(with the same --seed and options), to reproduce a failure")
    parser.add_argument("--keep", action="store_true", help="keep the files of games that passed")
    parser.add_argument("--quiet", action="store_true", help="no progress line")
    args = parser.parse_args()
    args.bin = os.path.abspath(args.bin)
    args.bot = os.path.abspath(args.bot or os.path.join(args.bin, "..", "soak", "hostile_bot"))
    if args.seed is None:
        args.seed = random.SystemRandom().randrange(1 << 31)
    return args


def list_modes(bot):
    """hostile_bot --list: {mode: (expected reason or None, "now" or "next")}."""
    out = subprocess.run([bot, "--list"], check=True, capture_output=True, text=True).stdout
    modes = {}
    for line in out.splitlines():
        name, expect, when = line.split()
        modes[name] = (None if expect == "none" else expect, when)
    return modes


# --- processes ----------------------------------------------------------------------------

def processes_marked(predicate):
    """Pids of live processes whose environment holds MARKER=value with predicate(value)."""
    found = []
    prefix = (MARKER + "=").encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                environ = f.read()
        except OSError:
            continue  # gone, or a zombie with no memory left
        for item in environ.split(b"\0"):
            if item.startswith(prefix) and predicate(item[len(prefix):].decode(errors="replace")):
                found.append(int(entry))
                break
    return found


def leftovers(marker):
    """Processes of one game still alive; killed once counted. A process the arena has just
    killed may take a moment to go, so only those still there after a pause count."""
    pids = processes_marked(lambda value: value == marker)
    if pids:
        time.sleep(0.5)
        pids = processes_marked(lambda value: value == marker)
    described = []
    for pid in pids:
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                command = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
            os.kill(pid, signal.SIGKILL)
        except OSError:
            command = "?"
        described.append(f"{pid} {command[:100]}")
    return described


def vm_hwm_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def run_arena(argv, env, stdout_path, stderr_path):
    """Runs the arena; returns (exit status, its own peak RSS in KiB, peak RSS of it and its
    reaped children in KiB). The arena's own peak is sampled from /proc while it runs."""
    with open(stdout_path, "wb") as out, open(stderr_path, "wb") as err:
        proc = subprocess.Popen(argv, stdout=out, stderr=err, stdin=subprocess.DEVNULL, env=env)
    own_peak = 0
    while True:
        pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
        if pid == proc.pid:
            break
        own_peak = max(own_peak, vm_hwm_kib(proc.pid))
        time.sleep(0.02)
    proc.returncode = os.waitstatus_to_exitcode(status)  # already reaped: keep Popen quiet
    return proc.returncode, own_peak, usage.ru_maxrss


# --- one game -------------------------------------------------------------------------------

class Seat:
    def __init__(self, number, kind, mode, seed, record):
        self.number = number  # 1 or 2
        self.kind = kind      # "hostile", or one of CLEAN_BOTS
        self.mode = mode
        self.seed = seed
        self.record = record

    def label(self):
        return self.mode if self.kind == "hostile" else self.kind

    def command(self, args):
        if self.kind in ("hostile", "hostile_play"):
            return (f"{args.bot} --mode={self.mode} --seed={self.seed} --record=- "
                    f"--max-at={args.max_at} --slow-ms={args.time_limit // 5} "
                    f"--late-ms={args.time_limit + 500}")
        return f"{os.path.join(args.bin, self.kind)} --seed {self.seed}"


def plan_game(args, index, modes):
    rng = random.Random(args.seed * 1_000_003 + index)
    game_dir = os.path.join(args.work, f"g{index:05d}")
    seats = []
    for number in (1, 2):
        # The bot notes what it did on its standard error, the arena's error file of its seat.
        record = os.path.join(game_dir, "refereelogs", f"one-two.g{index}.player{number}.err")
        seed = rng.randrange(1 << 62)
        if rng.random() < args.hostile:
            seats.append(Seat(number, "hostile", rng.choice(modes), seed, record))
        else:
            kind = rng.choice(CLEAN_BOTS)
            seats.append(Seat(number, kind, "play", seed, record))
    return game_dir, seats


def read_record(path):
    """The bot's note of what it did: (mode, answer, expected reason or None, when) or None."""
    try:
        with open(path, errors="replace") as f:
            for line in f:
                if not line.startswith("did "):
                    continue
                fields = dict(item.split("=", 1) for item in line.split()[1:])
                expect = None if fields["expect"] == "none" else fields["expect"]
                return fields["mode"], int(fields["answer"]), expect, fields["when"]
    except FileNotFoundError:
        pass
    return None


def rounds_played(log_text, number):
    return len(re.findall(rf"^Round \d+ player {number}: ", log_text, re.M))


def reasons_from(description):
    """{1: reason or None, 2: ...} from PLAYER_1:_X;_PLAYER_2:_Y."""
    found = {1: None, 2: None}
    for entry in description.split(";_"):
        match = re.fullmatch(r"PLAYER_([12]):_(\w+)", entry)
        if not match:
            raise ValueError(f"unreadable description {description!r}")
        word = match.group(2)
        found[int(match.group(1))] = word if word in REASONS else None
    return found


def check_expectation(seat, actual, log_text):
    """None when the player got what it earned, else a message."""
    did = read_record(seat.record)
    if did is None:
        expected, why = None, "played clean"
        if actual is None:
            return None
    else:
        mode, answer, expected, when = did
        why = f"{mode} at answer {answer} ({when})"
        if actual == expected:
            return None
        # A misbehaviour that shows only on the next request: no request, no disqualification.
        if when == "next" and actual is None and rounds_played(log_text, seat.number) <= answer:
            return None
    return f"player {seat.number} {why}: expected {expected or 'no disqualification'}, got {actual or 'none'}"


def play_game(args, index, modes, run_id):
    game_dir, seats = plan_game(args, index, modes)
    os.makedirs(game_dir)
    marker = f"{run_id}-{index}"
    argv = [os.path.join(args.bin, "zarvo-arena"), "match", "--dir", game_dir, "--id", f"g{index}",
            "--name1", "one", "--name2", "two", "--time-limit", f"{args.time_limit}ms",
            "--grace", f"{args.grace}ms", "--env", f"{MARKER}={marker}",
            seats[0].command(args), seats[1].command(args)]
    env = dict(os.environ)
    env[MARKER] = marker
    out_path = os.path.join(game_dir, "arena.out")
    err_path = os.path.join(game_dir, "arena.err")
    start = time.monotonic()
    status, own_peak, tree_peak = run_arena(argv, env, out_path, err_path)
    game = {"index": index, "seats": seats, "status": status, "own_peak": own_peak,
            "tree_peak": tree_peak, "seconds": time.monotonic() - start, "failures": [],
            "mismatches": [], "leftovers": leftovers(marker), "reasons": {1: None, 2: None}, "matched": 0}
    failures = game["failures"]

    with open(err_path, "rb") as f:
        arena_err = f.read()
    if status != 0:
        failures.append(f"arena exit status {status}: {arena_err[-2000:].decode(errors='replace')}")
    if SANITIZER.search(arena_err):
        failures.append("sanitizer report on the arena's standard error")
    logs_dir = os.path.join(game_dir, "refereelogs")
    for name in sorted(os.listdir(logs_dir)) if os.path.isdir(logs_dir) else []:
        if name.endswith(".referee.err"):
            with open(os.path.join(logs_dir, name), "rb") as f:
                if SANITIZER.search(f.read()):
                    failures.append(f"sanitizer report in {name}")

    with open(out_path, errors="replace") as f:
        lines = f.read().splitlines()
    match = RESULT_LINE.match(lines[-1]) if len(lines) == 1 else None
    if status == 0 and not match:
        failures.append(f"no result line: {lines!r}")
    if match:
        log_path, page_path = match.group(7), match.group(8)
        log_text = ""
        for path in (log_path, page_path):
            if not os.path.isfile(path) or os.path.getsize(path) == 0:
                failures.append(f"missing or empty {path}")
        if os.path.isfile(log_path):
            with open(log_path, errors="replace") as f:
                log_text = f.read()
            if "Manager report: " + match.group(5) not in log_text:
                failures.append("the log's manager report differs from the result line")
        try:
            game["reasons"] = reasons_from(match.group(5))
        except ValueError as error:
            failures.append(str(error))
        for seat in seats:
            actual = game["reasons"][seat.number]
            result = int(match.group(2 + seat.number))
            if actual is not None and result != 0:
                failures.append(f"player {seat.number} disqualified with result {result}, not 0")
            problem = check_expectation(seat, actual, log_text)
            if problem:
                game["mismatches"].append(problem)
            elif actual:
                game["matched"] += 1

    if game["leftovers"]:
        failures.append("processes left behind: " + "; ".join(game["leftovers"]))
    if not failures and not game["mismatches"] and not args.keep:
        shutil.rmtree(game_dir, ignore_errors=True)
    return game


# --- the run --------------------------------------------------------------------------------

def kib(value):
    return f"{value / 1024:.1f} MiB"


def report(args, games, modes_used, elapsed, final_leftovers):
    completed = [g for g in games if g["status"] == 0 and not any(
        f.startswith(("no result", "missing", "arena exit")) for f in g["failures"])]
    by_reason = collections.Counter()
    for g in games:
        for reason in g["reasons"].values():
            by_reason[reason or "none"] += 1
    arena_failures = [g for g in games if any(not f.startswith("processes left") for f in g["failures"])]
    left = sum(len(g["leftovers"]) for g in games)
    mismatches = [(g["index"], m) for g in games for m in g["mismatches"]]
    own_peaks = [g["own_peak"] for g in games if g["own_peak"]]
    tree_peaks = [g["tree_peak"] for g in games]
    seats = collections.Counter(s.label() for g in games for s in g["seats"])

    print(f"soak: {len(games)} games, seed {args.seed}, time limit {args.time_limit} ms, "
          f"{args.jobs} at once, {elapsed:.0f} s")
    print(f"  games completed: {len(completed)}/{len(games)}")
    print("  disqualifications by reason: " +
          ", ".join(f"{r} {by_reason[r]}" for r in REASONS) + f" (players not disqualified: {by_reason['none']})")
    print(f"  disqualifications matching what the bot did: {sum(g['matched'] for g in games)}; "
          f"mismatches: {len(mismatches)}")
    print(f"  referee or arena failures: {len(arena_failures)}")
    print(f"  processes left behind: {left} after games, {final_leftovers} at the end")
    if own_peaks:
        print(f"  arena peak RSS: max {kib(max(own_peaks))}, median {kib(statistics.median(own_peaks))} "
              f"(sampled from /proc); largest process of a game (wait4 ru_maxrss, arena and its "
              f"children): max {kib(max(tree_peaks))}")
    print("  seats: " + ", ".join(f"{name} {count}" for name, count in sorted(seats.items())))
    for index, message in mismatches[:20]:
        print(f"  MISMATCH game {index}: {message}")
    for g in arena_failures[:20]:
        print(f"  FAILURE game {g['index']}: {' | '.join(g['failures'])[:600]}")
    for g in games:
        if g["leftovers"]:
            print(f"  LEFT BEHIND game {g['index']} ({', '.join(s.label() for s in g['seats'])}): "
                  f"{'; '.join(g['leftovers'])}")
    ok = len(completed) == len(games) and not mismatches and not arena_failures and left == 0 \
        and final_leftovers == 0
    print(f"soak: {'PASS' if ok else 'FAIL'}; game files in {args.work}")
    return ok


def main():
    args = parse_args()
    for program in (os.path.join(args.bin, "zarvo-arena"), args.bot):
        if not os.access(program, os.X_OK):
            print(f"soak: {program} is not an executable program", file=sys.stderr)
            return 2
    all_modes = list_modes(args.bot)
    modes = [m for m in all_modes if m != "play" and m not in OPT_IN_MODES]
    if args.modes == "all":
        modes = [m for m in all_modes if m != "play"]
    elif args.modes:
        modes = args.modes.split(",")
        unknown = [m for m in modes if m not in all_modes]
        if unknown:
            print(f"soak: unknown modes {unknown}", file=sys.stderr)
            return 2
    if args.work:
        shutil.rmtree(args.work, ignore_errors=True)
        os.makedirs(args.work)
    else:
        args.work = tempfile.mkdtemp(prefix="zarvo-soak-")
    args.work = os.path.abspath(args.work)
    run_id = f"soak{os.getpid()}"

    games, lock = [], threading.Lock()
    indices = [int(i) for i in args.only.split(",")] if args.only else range(1, args.games + 1)
    args.games = len(indices)
    next_index = iter(indices)
    start = time.monotonic()

    def worker():
        while True:
            with lock:
                index = next(next_index, None)
            if index is None:
                return
            game = play_game(args, index, modes, run_id)
            with lock:
                games.append(game)
                bad = sum(1 for g in games if g["failures"] or g["mismatches"])
                if not args.quiet and (len(games) % 25 == 0 or len(games) == args.games):
                    print(f"  ... {len(games)}/{args.games} games, {bad} with problems, "
                          f"{time.monotonic() - start:.0f} s", file=sys.stderr, flush=True)

    threads = [threading.Thread(target=worker) for _ in range(max(1, args.jobs))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    final = processes_marked(lambda value: value.startswith(run_id + "-"))
    for pid in final:
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
    games.sort(key=lambda g: g["index"])
    ok = report(args, games, modes, time.monotonic() - start, len(final))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
