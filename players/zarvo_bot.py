#!/usr/bin/env python3
"""zarvo_bot.py: a Zarvo player in Python, standard library only. Copy it to start your own.

It keeps its own model of the board, lists the legal places for every tile it is given, and
plays the one after which its own colour scores most (ties broken at random). Replace
choose_move() with your own strategy; the rest is the plumbing every bot needs.

The referee talks to the bot through standard input and output, one line at a time:

    its colour             "4"          the bot scores squares whose four corners show it
    the start move         "Hh125364h"  row, column, six colour digits, orientation
    "Start"                             only if the bot moves first
    then, in turn:
      the opponent's move  "Jh326451v"  the same form as the start move
      the bot's tile       "326415"     the bot answers with row, column, orientation: "Kjh"
    "Quit"                              the game is over

Every answer must be flushed at once (print(..., flush=True)): the referee waits for it, and
Python holds back output written to a pipe until its buffer is full.

Usage: zarvo_bot.py [--seed N] [--random]
    --seed N    seed the random choices, for games that can be replayed
    --random    play a random legal move instead of the greedy one
    --help      print this and exit
"""

import random
import sys

ROWS = 16  # rows A to P, numbered 1 to 16 from the top
COLUMNS = 20  # columns a to t, numbered 1 to 20 from the left
TILE_LONG = 6  # a tile is 2 cells by 6
MAX_OVERLAP = 4  # a tile may cover at most 4 cells that are already covered
MAX_LINE = 4096  # longest line read at once: the referee's lines are far shorter


class Board:
    """What lies on the board: the colour seen in every cell, 0 where nothing lies yet.

    cells[row][column] with rows 1..16 and columns 1..20. Row 0, row 17, column 0 and
    column 21 form an empty border, so looking at the neighbour of an edge cell is safe.
    """

    def __init__(self):
        self.cells = [[0] * (COLUMNS + 2) for _ in range(ROWS + 2)]

    def copy(self):
        other = Board()
        other.cells = [list(row) for row in self.cells]
        return other

    def covered(self, row, column):
        return self.cells[row][column] != 0

    def lay(self, row, column, tile, orientation):
        """Lays a tile; its colours hide whatever lay beneath."""
        for r, c, colour in tile_cells(row, column, tile, orientation):
            self.cells[r][c] = colour


def tile_size(orientation):
    """(height, width) of a tile: 'h' lies 2 rows by 6 columns, 'v' 6 rows by 2 columns."""
    return (2, TILE_LONG) if orientation == "h" else (TILE_LONG, 2)


def tile_cells(row, column, tile, orientation):
    """The twelve cells of a tile whose top-left cell is (row, column), with their colours.

    A tile "t0t1t2t3t4t5" laid 'h' shows t0..t5 along its top row and t5..t0 along its
    bottom row. Laid 'v' it shows t0..t5 down its right column and t5..t0 down its left.
    So each colour appears twice, in cells that a half turn of the tile swaps.
    """
    colours = [int(digit) for digit in tile]
    cells = []
    for i in range(TILE_LONG):
        if orientation == "h":
            cells.append((row, column + i, colours[i]))
            cells.append((row + 1, column + i, colours[TILE_LONG - 1 - i]))
        else:
            cells.append((row + i, column, colours[TILE_LONG - 1 - i]))
            cells.append((row + i, column + 1, colours[i]))
    return cells


def is_legal(board, row, column, orientation):
    """A place is legal when the tile lies wholly on the board, covers at most 4 cells that
    are already covered, and shares an edge with at least one covered cell. Colours play no
    part, and touching only at a corner does not count."""
    height, width = tile_size(orientation)
    last_row, last_column = row + height - 1, column + width - 1
    if row < 1 or column < 1 or last_row > ROWS or last_column > COLUMNS:
        return False
    overlap = sum(
        board.covered(r, c)
        for r in range(row, last_row + 1)
        for c in range(column, last_column + 1)
    )
    if overlap > MAX_OVERLAP:
        return False
    # The cells just outside each of the tile's four sides (the border keeps them in range).
    for c in range(column, last_column + 1):
        if board.covered(row - 1, c) or board.covered(last_row + 1, c):
            return True
    for r in range(row, last_row + 1):
        if board.covered(r, column - 1) or board.covered(r, last_column + 1):
            return True
    return False


def legal_moves(board, tile):
    """Every legal place for a tile as (row, column, orientation). The colours of the tile do
    not matter for where it may go; they only matter for the score."""
    moves = []
    for orientation in "hv":
        height, width = tile_size(orientation)
        for row in range(1, ROWS - height + 2):
            for column in range(1, COLUMNS - width + 2):
                if is_legal(board, row, column, orientation):
                    moves.append((row, column, orientation))
    return moves


def score(board, colour):
    """The points of a colour: every square whose four corner cells show the colour is worth
    its size (the distance between its first and last row). The cells in between do not
    matter, and squares may overlap."""
    cells = board.cells
    points = 0
    for r in range(1, ROWS):
        for c in range(1, COLUMNS):
            if cells[r][c] != colour:
                continue
            for d in range(1, min(ROWS - r, COLUMNS - c) + 1):
                if (cells[r + d][c] == colour and cells[r][c + d] == colour
                        and cells[r + d][c + d] == colour):
                    points += d
    return points


def choose_move(board, tile, colour, moves, rng, greedy=True):
    """The bot's strategy: the legal move after which its own colour scores most. This is the
    place to put a better one (look at the opponent's colour too, or further ahead)."""
    if not greedy:
        return rng.choice(moves)
    best_points, best_moves = -1, []
    for move in moves:
        trial = board.copy()  # try the move on a copy of the board
        trial.lay(move[0], move[1], tile, move[2])
        points = score(trial, colour)
        if points > best_points:
            best_points, best_moves = points, []
        if points == best_points:
            best_moves.append(move)
    return rng.choice(best_moves)


def parse_move(text):
    """A full move "Gb256143h" as (row, column, tile, orientation): (7, 2, "256143", "h")."""
    return ord(text[0]) - ord("A") + 1, ord(text[1]) - ord("a") + 1, text[2:8], text[8]


def answer_text(row, column, orientation):
    """The answer naming a place: (7, 2, "h") is "Gbh"."""
    return chr(ord("A") + row - 1) + chr(ord("a") + column - 1) + orientation


def is_move(line):
    return (len(line) == 9 and "A" <= line[0] <= "P" and "a" <= line[1] <= "t"
            and is_tile(line[2:8]) and line[8] in "hv")


def is_tile(line):
    return len(line) == 6 and all(digit in "123456" for digit in line)


USAGE = __doc__[__doc__.index("Usage: "):]


def parse_arguments(argv):
    seed, greedy = None, True
    i = 1
    while i < len(argv):
        if argv[i] in ("--help", "-h"):
            sys.stdout.write(USAGE)
            sys.stdout.flush()
            sys.exit(0)
        if argv[i] == "--seed" and i + 1 < len(argv):
            try:
                seed = int(argv[i + 1])
            except ValueError:
                sys.exit("--seed takes a whole number, not %r" % argv[i + 1])
            i += 1
        elif argv[i] == "--random":
            greedy = False
        i += 1  # other arguments are ignored
    return seed, greedy


def main():
    seed, greedy = parse_arguments(sys.argv)
    rng = random.Random(seed)
    board = Board()
    colour = None
    while True:
        line = sys.stdin.readline(MAX_LINE)
        if not line:
            break  # end of input: the referee has gone
        line = line.strip()
        if line == "Quit":
            break
        if line == "Start":
            continue  # we move first; our first tile comes next
        if colour is None:
            colour = int(line) if line.isdigit() else 0  # the first line is our colour
        elif is_move(line):
            board.lay(*parse_move(line))  # the start move or the opponent's move
        elif is_tile(line):
            moves = legal_moves(board, line)
            if not moves:
                break  # cannot happen: the referee only sends tiles that fit somewhere
            row, column, orientation = choose_move(board, line, colour, moves, rng, greedy)
            print(answer_text(row, column, orientation), flush=True)
            # The referee does not send our own move back: lay it on our board ourselves.
            board.lay(row, column, line, orientation)
        else:
            print("unexpected line: " + line, file=sys.stderr, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
