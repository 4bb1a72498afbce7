// A Zarvo bot in Node.js, no packages needed: copy this folder to start your own.
//
// It keeps its own model of the board, lists the legal places of every tile it is given and
// plays the one after which its own colour scores most (on a tie, the one that leaves the
// other colours fewest points).
// Put your own strategy into chooseMove(); the rest is the plumbing every bot needs.
//
// The referee's lines, one per line on standard input:
//   "4"          our colour: we score the squares whose four corners show it
//   "Hh125364h"  the start move, later the opponent's moves: row, column, six digits, h or v
//   "Start"      only when we move first
//   "326415"     our tile: we answer row, column and orientation, e.g. "Kjh"
//   "Quit"       the game is over
// Standard output carries answers only; debug output goes to console.error (standard error).
'use strict';

const ROWS = 16; // rows A to P
const COLS = 20; // columns a to t
const MAX_OVERLAP = 4;
const MAX_LINE = 64; // the referee's lines are far shorter

// A place for a tile: its top-left cell (1-based) and 'h' (2 rows by 6) or 'v' (6 rows by 2).
const height = (m) => (m.orientation === 'h' ? 2 : 6);
const width = (m) => (m.orientation === 'h' ? 6 : 2);
const onBoard = (m) =>
  m.row >= 1 && m.col >= 1 && m.row + height(m) - 1 <= ROWS && m.col + width(m) - 1 <= COLS;
const answer = (m) =>
  String.fromCharCode(64 + m.row) + String.fromCharCode(96 + m.col) + m.orientation;

// The colour seen in every cell, 0 where nothing lies. Rows 1..16 and columns 1..20 are the
// field; rows 0 and 17 and columns 0 and 21 form an empty border, so that looking at the
// neighbour of an edge cell is always safe.
const newBoard = () => Array.from({ length: ROWS + 2 }, () => new Array(COLS + 2).fill(0));
const copy = (board) => board.map((row) => row.slice());

// Lays tile "t0..t5". Laid 'h' it shows t0..t5 on its top row and t5..t0 below; laid 'v' it
// shows t0..t5 down its right column and t5..t0 down its left. New colours hide the old.
function lay(board, m, tile) {
  for (let i = 0; i < 6; ++i) {
    const colour = Number(tile[i]);
    const mirror = Number(tile[5 - i]);
    if (m.orientation === 'h') {
      board[m.row][m.col + i] = colour;
      board[m.row + 1][m.col + i] = mirror;
    } else {
      board[m.row + i][m.col + 1] = colour;
      board[m.row + i][m.col] = mirror;
    }
  }
}

// Legal: wholly on the board, at most 4 covered cells under it, and an edge shared with a
// covered cell (a corner is not enough). Colours play no part.
function isLegal(board, m) {
  if (!onBoard(m)) return false;
  const lastRow = m.row + height(m) - 1;
  const lastCol = m.col + width(m) - 1;
  let overlap = 0;
  let contact = false;
  for (let r = m.row; r <= lastRow; ++r) {
    for (let c = m.col; c <= lastCol; ++c) if (board[r][c] !== 0) ++overlap;
    contact = contact || board[r][m.col - 1] !== 0 || board[r][lastCol + 1] !== 0;
  }
  for (let c = m.col; c <= lastCol; ++c) {
    contact = contact || board[m.row - 1][c] !== 0 || board[lastRow + 1][c] !== 0;
  }
  return overlap <= MAX_OVERLAP && contact;
}

// Every legal place, horizontal ones first, row by row, left to right (the referee's order).
function legalMoves(board) {
  const moves = [];
  for (const orientation of ['h', 'v']) {
    for (let row = 1; row <= ROWS; ++row) {
      for (let col = 1; col <= COLS; ++col) {
        const m = { row, col, orientation };
        if (isLegal(board, m)) moves.push(m);
      }
    }
  }
  return moves;
}

// The points of a colour: each square whose four corners show it is worth its size, the
// distance between its first and last row. The cells between the corners do not matter.
function score(board, colour) {
  let points = 0;
  for (let r = 1; r < ROWS; ++r) {
    for (let c = 1; c < COLS; ++c) {
      if (board[r][c] !== colour) continue;
      for (let d = 1; r + d <= ROWS && c + d <= COLS; ++d) {
        if (board[r + d][c] === colour && board[r][c + d] === colour &&
            board[r + d][c + d] === colour) {
          points += d;
        }
      }
    }
  }
  return points;
}

// The strategy: the legal move after which our colour scores most; on a tie the one that
// leaves the other colours (the opponent's is one of them) the fewest points; then the first.
// This is the place for your own (guess the opponent's colour, or look further ahead).
function chooseMove(board, tile, colour, moves) {
  let best = moves[0];
  let bestPoints = -1;
  let bestOthers = 0;
  for (const m of moves) {
    const trial = copy(board); // try the move on a copy
    lay(trial, m, tile);
    const points = score(trial, colour);
    if (points < bestPoints) continue;
    let others = 0;
    for (let other = 1; other <= 6; ++other) if (other !== colour) others += score(trial, other);
    if (points > bestPoints || others < bestOthers) {
      best = m;
      bestPoints = points;
      bestOthers = others;
    }
  }
  return best;
}

const isTile = (text) => /^[1-6]{6}$/.test(text);

// A full move such as "Gb256143h", of the start or the opponent; null when it is none.
function parseMove(text) {
  if (!/^[A-P][a-t][1-6]{6}[hv]$/.test(text)) return null;
  const m = { row: text.charCodeAt(0) - 64, col: text.charCodeAt(1) - 96, orientation: text[8] };
  return onBoard(m) ? m : null;
}

const board = newBoard(); // all empty
let colour = 0;

// Handles one line; returns false once the game is over.
function handle(line) {
  if (line === 'Quit') return false;
  if (line === 'Start') return true; // we move first: our tile comes next
  const move = parseMove(line);
  if (/^[1-6]$/.test(line)) {
    colour = Number(line);
  } else if (move) {
    lay(board, move, line.slice(2, 8));
  } else if (isTile(line)) {
    const moves = legalMoves(board);
    if (moves.length === 0) return false; // cannot happen: the referee only sends tiles that fit
    const m = chooseMove(board, line, colour, moves);
    // Node writes to a pipe at once; nothing is held back in a buffer.
    process.stdout.write(answer(m) + '\n');
    lay(board, m, line); // our own move is not sent back to us
  } else {
    console.error('unexpected line: ' + line);
  }
  return true;
}

// Standard input comes in chunks that need not end at a line end: split them into lines, and
// keep at most MAX_LINE characters of each.
let pending = '';
process.stdin.setEncoding('utf8');
process.stdin.on('data', (chunk) => {
  const parts = (pending + chunk).split('\n');
  pending = parts.pop().slice(0, MAX_LINE);
  for (const part of parts) {
    if (!handle(part.slice(0, MAX_LINE).replace(/\r$/, ''))) process.exit(0);
  }
});
process.stdin.on('end', () => {
  if (pending !== '') handle(pending.replace(/\r$/, '')); // a last line without its line end
});
