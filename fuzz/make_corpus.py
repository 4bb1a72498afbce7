#!/usr/bin/env python3
"""Builds the seed corpora of the fuzz targets.

referee_stdin: plays real games against the fixed-seed referee (zarvo-checker-fixed-seed, seed
of 64 zero bytes unless a game names one) as a small match manager that follows the board from
the lines the players are sent, and records the bytes the manager wrote: each corpus file is the
manager side of one complete game (with set-up sections for tiles.txt, referee.txt, the seed).
The other targets get a few hand-made inputs.

usage: make_corpus.py path/to/zarvo-checker-fixed-seed [corpus-dir]
"""
import os
import random
import struct
import subprocess
import sys
import tempfile

TAG = "<kavrio_message__%s>"  # the selecting character is at index 17


def tag(c):
    t = TAG % c
    assert t[17] == c
    return t


class Board:
    def __init__(self):
        self.cells = set()

    def lay(self, text):
        r, c, o = ord(text[0]) - 64, ord(text[1]) - 96, text[8]
        rows, cols = (2, 6) if o == "h" else (6, 2)
        for i in range(rows):
            for j in range(cols):
                self.cells.add((r + i, c + j))

    def legal(self):
        moves = []
        for o, rows, cols, last_r, last_c in (("h", 2, 6, 15, 15), ("v", 6, 2, 11, 19)):
            for r in range(1, last_r + 1):
                for c in range(1, last_c + 1):
                    over = sum((r + i, c + j) in self.cells for i in range(rows) for j in range(cols))
                    edge = [(r - 1, c + j) for j in range(cols)] + [(r + rows, c + j) for j in range(cols)]
                    edge += [(r + i, c - 1) for i in range(rows)] + [(r + i, c + cols) for i in range(rows)]
                    if over <= 4 and any(e in self.cells for e in edge):
                        moves.append(chr(64 + r) + chr(96 + c) + o)
        return moves


def play(binary, answer, tiles=None, referee=None, seed=None, log=True, lock_junk="",
         time_replies=("time 1503 1480", "time 20 10"), stop_after=None):
    """Plays one game; answer(player, turn, legal, rng) gives the token(s) to send."""
    rng = random.Random(1)
    sent = []
    with tempfile.TemporaryDirectory() as d:
        os.mkdir(os.path.join(d, "refereelogs"))
        if tiles is not None:
            open(os.path.join(d, "tiles.txt"), "w").write(tiles)
        if referee is not None:
            open(os.path.join(d, "referee.txt"), "w").write(referee)
        env = dict(os.environ)
        env.pop("ZARVO_TEST_SEED", None)
        if seed:
            env["ZARVO_TEST_SEED"] = seed
        args = [binary] + ([os.path.join(d, "refereelogs", "alpha-beta.1.log")] if log else [])
        p = subprocess.Popen(args, cwd=d, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True, bufsize=1)
        board = Board()
        tile = {1: None, 2: None}
        turn = 0
        requests = 0

        def write(text):
            sent.append(text)
            try:
                p.stdin.write(text)
                p.stdin.flush()
            except BrokenPipeError:
                pass

        for line in p.stdout:
            line = line.rstrip("\n")
            if stop_after is not None and requests >= stop_after:
                break
            if line[:2] in ("1 ", "2 "):
                who, text = int(line[0]), line[2:]
                if len(text) == 9 and text[0].isupper() and text[1].islower():
                    board.lay(text)
                elif len(text) == 6 and text.isdigit():
                    tile[who] = text
            elif line == "I lock":
                requests += 1
                write(lock_junk + "lock_ok\n")
            elif line.startswith("I listen "):
                who = int(line.split()[2])
                turn += 1
                reply = answer(who, turn, board.legal(), rng)
                write(reply + "\n")
                if reply in board.legal():
                    board.lay(reply[:2] + tile[who] + reply[2])
            elif line.startswith("I request_time "):
                write(time_replies[int(line.split()[2]) - 1] + "\n")
        try:
            p.stdin.close()
        except BrokenPipeError:
            pass
        p.wait()
    preamble = ""
    if tiles is not None:
        preamble += "%tiles\n" + tiles
    if referee is not None:
        preamble += "%referee\n" + referee
    if seed:
        preamble += "%seed " + seed + "\n"
    if not log:
        preamble += "%nolog\n"
    stream = "".join(sent)
    return (preamble + "%stdin\n" + stream) if preamble else stream


def first(who, turn, legal, rng):
    return legal[0]


def randomly(who, turn, legal, rng):
    return rng.choice(legal)


def breaks_at(n, bad, then=randomly):
    return lambda who, turn, legal, rng: bad if turn == n else then(who, turn, legal, rng)


def script(seed, tiles=200):
    r = random.Random(seed)
    a, b = r.sample(range(1, 7), 2)
    lines = ["%d %d" % (a, b)]
    for _ in range(tiles):
        d = list("123456")
        r.shuffle(d)
        lines.append("".join(d))
    return "\n".join(lines) + "\n"


def referee_corpus(binary):
    games = {
        "game_first_moves": dict(answer=first),
        "game_random_moves": dict(answer=randomly),
        "game_seeded": dict(answer=randomly, seed="0123456789abcdef" * 8),
        "game_script": dict(answer=randomly, tiles=script(3)),
        "game_script_short": dict(answer=randomly, tiles=script(4, tiles=7)),
        "game_script_bad_tile": dict(answer=randomly, tiles="3 1\n523146\n256143\n12345x\n"),
        "game_script_bad_colours": dict(answer=randomly, tiles="3 3\n523146\n"),
        "game_script_bad_no_log": dict(answer=randomly, tiles="3 7\n523146\n", log=False),
        "game_referee_txt": dict(answer=randomly, referee="jspath=../viewer/\n"),
        "game_no_log": dict(answer=randomly, log=False),
        "game_lock_junk": dict(answer=randomly, lock_junk="Kd654321v junk "),
        "game_words": dict(answer=lambda w, t, l, r: r.choice(l) + " and more words"),
        "illegal_wrong_length": dict(answer=breaks_at(1, "Hh")),
        "illegal_orientation": dict(answer=breaks_at(2, "Hhx")),
        "illegal_out_of_board": dict(answer=breaks_at(3, "Pah")),
        "illegal_column": dict(answer=breaks_at(3, "Atv")),
        "illegal_overlap": dict(answer=breaks_at(1, "Hhh")),
        "illegal_not_adjacent": dict(answer=breaks_at(4, "Aah")),
        "tag_empty": dict(answer=breaks_at(2, tag("e"))),
        "tag_timeout": dict(answer=breaks_at(5, tag("i"))),
        "tag_crash": dict(answer=breaks_at(1, tag("r"))),
        "tag_exit": dict(answer=breaks_at(6, tag("t"))),
        "tag_not_regular": dict(answer=breaks_at(3, tag("x"))),
        "tag_short": dict(answer=breaks_at(3, "<short")),
        "double_disqualification": dict(
            answer=lambda w, t, l, r: tag("r") if t in (3, 4) else r.choice(l)),
        "bad_time_reply_1": dict(answer=randomly, time_replies=("tame 1 2", "time 1 2")),
        "bad_time_reply_2": dict(answer=randomly, time_replies=("time 1 2", "tim 1 2")),
        "input_ends_midgame": dict(answer=randomly, stop_after=9),
        "long_answer": dict(answer=breaks_at(2, "Fch" + "x" * 1500 + "lock_ok")),
    }
    out = {}
    for name, kw in games.items():
        out[name] = play(binary, **kw).encode()
    return out


def tile_corpus():
    return {
        "valid": script(5, tiles=40).encode(),
        "spec_example": b"3 1\n523146\n256143\n614352\n",
        "bad_colours": b"3 3\n523146\n",
        "signs_and_zeros": b"+3 02 523146 1234567 12345 112345 \t\r\n 654321",
        "long_token": b"1 2 " + b"5" * 200 + b" 123456",
        "binary": bytes(range(256)),
        "regress_nul_after_colour_digit": b"5\0 3\n",
    }


def page_corpus():
    def page(mode, dots, name, zetten, jspath, message, start, s1=150, s2=150, k1=3, k2=1):
        return (bytes([mode, dots]) + struct.pack("<iiii", s1, s2, k1, k2) + b"\0".join(
            [name, zetten, jspath, message, start]))
    return {
        "plain": page(0, 0, b"alpha-beta.17.log", b"'Bc123456h','Kd654321v'", b"../bin/resources/",
                      b"PLAYER_1:_DRAW;_PLAYER_2:_DRAW", b"Hh523146h"),
        "no_moves": page(0, 0, b"alpha-beta.17.log", b"", b"", b"PLAYER_1:_WIN", b"Hh523146h",
                         230, 70),
        "txt_tail": page(0, 0, b"alpha-beta.17.txt", b"'Bc123456h'", b"x/", b"m", b"Hh523146h"),
        "empty_names": page(0, 0, b"-beta..log", b"'Bc123456h'", b"", b"m", b"Hh523146h"),
        "hostile": page(0, 0, b"o'neil-<b>\"x</script>.<i>&.log", b"'a\\b','</script>'",
                        b"\"><script>alert(1)</script>", b"<b>&amp;\xe2\x80\xa8", b"Hh'\n<",
                        -5, 2**31 - 1, -1, 7),
        "no_refereelogs": page(1, 0, b"game.log", b"'Bc123456h'", b"../v/", b"m", b"Hh523146h"),
        "long_path": page(0, 255, b"alpha-beta.1.log", b"", b"", b"", b"Hh523146h"),
        "null_path": page(6, 0, b"a-b.1.log", b"", b"", b"", b"Hh523146h"),
        "unterminated_start": page(0, 0, b"a-b.1.log", b"'Bc'", b"", b"", b"Hh523146hXYZ"),
    }


def answer_corpus():
    r = random.Random(7)
    out = {"empty": b"", "start_only": b"\0\0Fch"}
    for n in range(6):
        out["board_%d" % n] = bytes(r.randrange(256) for _ in range(40 + 30 * n))
    out["long_game"] = bytes([0, 63]) + bytes(r.randrange(256) for _ in range(500)) + b"Ooh"
    return out


def main():
    binary = os.path.abspath(sys.argv[1])
    root = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), "corpus")
    corpora = {
        "referee_stdin": referee_corpus(binary),
        "tile_script": tile_corpus(),
        "replay_page": page_corpus(),
        "answer_check": answer_corpus(),
    }
    for target, files in corpora.items():
        os.makedirs(os.path.join(root, target), exist_ok=True)
        for name, data in files.items():
            with open(os.path.join(root, target, name), "wb") as f:
                f.write(data)
        print("%s: %d files" % (target, len(files)))


if __name__ == "__main__":
    main()
