//! A Zarvo bot in Rust, standard library only: copy this folder to start your own.
//!
//! It keeps its own model of the board, lists the legal places of every tile it is given and
//! plays the one after which its own colour scores most (on a tie, the one that leaves the
//! other colours fewest points).
//! Put your own strategy into `choose_move`; the rest is the plumbing every bot needs.
//!
//! The referee's lines, one per line on standard input:
//!   "4"          our colour: we score the squares whose four corners show it
//!   "Hh125364h"  the start move, later the opponent's moves: row, column, six digits, h or v
//!   "Start"      only when we move first
//!   "326415"     our tile: we answer row, column and orientation, e.g. "Kjh"
//!   "Quit"       the game is over
//! Standard output carries answers only, each flushed at once; debug output goes to eprintln!.

use std::io::{self, BufRead, Read, Write};

const ROWS: usize = 16; // rows A to P
const COLS: usize = 20; // columns a to t
const MAX_OVERLAP: usize = 4;
const MAX_LINE: usize = 64; // the referee's lines are far shorter

/// The colour seen in every cell, 0 where nothing lies. Rows 1..=16 and columns 1..=20 are the
/// field; rows 0 and 17 and columns 0 and 21 form an empty border, so that looking at the
/// neighbour of an edge cell is always safe.
type Board = [[u8; COLS + 2]; ROWS + 2];

/// A place for a tile: its top-left cell (1-based) and 'h' (2 rows by 6) or 'v' (6 rows by 2).
#[derive(Clone, Copy)]
struct Move {
    row: usize,
    col: usize,
    orientation: u8,
}

impl Move {
    /// The tile's last row and last column.
    fn last(&self) -> (usize, usize) {
        match self.orientation {
            b'h' => (self.row + 1, self.col + 5),
            _ => (self.row + 5, self.col + 1),
        }
    }
    fn on_board(&self) -> bool {
        let (last_row, last_col) = self.last();
        self.row >= 1 && self.col >= 1 && last_row <= ROWS && last_col <= COLS
    }
    fn answer(&self) -> String {
        let row = (b'A' + self.row as u8 - 1) as char;
        let col = (b'a' + self.col as u8 - 1) as char;
        format!("{}{}{}", row, col, self.orientation as char)
    }
}

/// Lays tile "t0..t5". Laid 'h' it shows t0..t5 on its top row and t5..t0 below; laid 'v' it
/// shows t0..t5 down its right column and t5..t0 down its left. New colours hide the old.
fn lay(board: &mut Board, m: Move, tile: &[u8]) {
    for i in 0..6 {
        let (colour, mirror) = (tile[i] - b'0', tile[5 - i] - b'0');
        if m.orientation == b'h' {
            board[m.row][m.col + i] = colour;
            board[m.row + 1][m.col + i] = mirror;
        } else {
            board[m.row + i][m.col + 1] = colour;
            board[m.row + i][m.col] = mirror;
        }
    }
}

/// Legal: wholly on the board, at most 4 covered cells under it, and an edge shared with a
/// covered cell (a corner is not enough). Colours play no part.
fn is_legal(board: &Board, m: Move) -> bool {
    if !m.on_board() {
        return false;
    }
    let (last_row, last_col) = m.last();
    let mut overlap = 0;
    let mut contact = false;
    for r in m.row..=last_row {
        overlap += (m.col..=last_col).filter(|&c| board[r][c] != 0).count();
        contact |= board[r][m.col - 1] != 0 || board[r][last_col + 1] != 0;
    }
    for c in m.col..=last_col {
        contact |= board[m.row - 1][c] != 0 || board[last_row + 1][c] != 0;
    }
    overlap <= MAX_OVERLAP && contact
}

/// Every legal place, horizontal ones first, row by row, left to right (the referee's order).
fn legal_moves(board: &Board) -> Vec<Move> {
    let mut moves = Vec::new();
    for orientation in [b'h', b'v'] {
        for row in 1..=ROWS {
            for col in 1..=COLS {
                let m = Move {
                    row,
                    col,
                    orientation,
                };
                if is_legal(board, m) {
                    moves.push(m);
                }
            }
        }
    }
    moves
}

/// The points of a colour: each square whose four corners show it is worth its size, the
/// distance between its first and last row. The cells between the corners do not matter.
fn score(board: &Board, colour: u8) -> usize {
    let mut points = 0;
    for r in 1..ROWS {
        for c in 1..COLS {
            if board[r][c] != colour {
                continue;
            }
            for d in (1..).take_while(|d| r + d <= ROWS && c + d <= COLS) {
                if board[r + d][c] == colour
                    && board[r][c + d] == colour
                    && board[r + d][c + d] == colour
                {
                    points += d;
                }
            }
        }
    }
    points
}

/// The strategy: the legal move after which our colour scores most; on a tie the one that
/// leaves the other colours (the opponent's is one of them) the fewest points; then the first.
/// This is the place for your own (guess the opponent's colour, or look further ahead).
fn choose_move(board: &Board, tile: &[u8], colour: u8, moves: &[Move]) -> Move {
    let mut best: Option<(Move, usize, usize)> = None; // the move, its points, the others'
    for &m in moves {
        let mut trial = *board; // try the move on a copy
        lay(&mut trial, m, tile);
        let points = score(&trial, colour);
        if best.map_or(false, |(_, most, _)| points < most) {
            continue;
        }
        let others = (1..=6)
            .filter(|&other| other != colour)
            .map(|other| score(&trial, other));
        let others: usize = others.sum();
        if best.map_or(true, |(_, most, fewest)| points > most || others < fewest) {
            best = Some((m, points, others));
        }
    }
    let (m, _, _) = best.expect("the referee only sends tiles that fit somewhere");
    m
}

fn is_tile(text: &[u8]) -> bool {
    text.len() == 6 && text.iter().all(|digit| (b'1'..=b'6').contains(digit))
}

/// A full move such as "Gb256143h", of the start or the opponent.
fn parse_move(text: &[u8]) -> Option<Move> {
    match *text {
        [row @ b'A'..=b'P', col @ b'a'..=b't', .., orientation @ (b'h' | b'v')]
            if text.len() == 9 && is_tile(&text[2..8]) =>
        {
            let (row, col) = ((row - b'A') as usize + 1, (col - b'a') as usize + 1);
            Some(Move {
                row,
                col,
                orientation,
            })
            .filter(Move::on_board)
        }
        _ => None,
    }
}

/// One line without its line end, at most MAX_LINE bytes of it kept; None at the end of input.
fn read_line(input: &mut impl BufRead) -> Option<Vec<u8>> {
    let mut line = Vec::new();
    for byte in input.by_ref().bytes() {
        match byte.ok()? {
            b'\n' => return Some(line),
            b'\r' => {}
            byte if line.len() < MAX_LINE => line.push(byte),
            _ => {}
        }
    }
    Some(line).filter(|line| !line.is_empty())
}

fn main() {
    let (stdin, stdout) = (io::stdin(), io::stdout());
    let (mut input, mut output) = (stdin.lock(), stdout.lock());
    let mut board: Board = [[0; COLS + 2]; ROWS + 2]; // all empty
    let mut colour = 0;
    while let Some(line) = read_line(&mut input) {
        let line = line.as_slice();
        if line == b"Quit" {
            break;
        } else if line == b"Start" {
            continue; // we move first: our tile comes next
        } else if let [digit @ b'1'..=b'6'] = line {
            colour = digit - b'0';
        } else if let Some(m) = parse_move(line) {
            lay(&mut board, m, &line[2..8]);
        } else if is_tile(line) {
            let moves = legal_moves(&board);
            if moves.is_empty() {
                break; // cannot happen: the referee only sends tiles that fit
            }
            let m = choose_move(&board, line, colour, &moves);
            // The referee waits for this line: flush it at once (an error: the referee is gone).
            let sent = writeln!(output, "{}", m.answer()).and_then(|_| output.flush());
            if sent.is_err() {
                break;
            }
            lay(&mut board, m, line); // our own move is not sent back to us
        } else {
            eprintln!("unexpected line: {}", String::from_utf8_lossy(line));
        }
    }
}
