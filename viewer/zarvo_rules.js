/* Zarvo replay viewer: the rules the page replays the game by (move texts, where
 * a tile lays its colours, the points of a colour, the legal places of a tile) and small texts.
 *
 * No browser needed: the build joins this file and zarvo.js into the one zarvo.js a replay page
 * loads; in a browser these rules are window.ZarvoRules, under Node the module's exports, so
 * that they can be tested without a browser.
 */
(function (root) {
  'use strict';

  // ---------------------------------------------------------------------------------------
  // Rules: move texts, where a tile lays its colours, and the points of a colour.
  // ---------------------------------------------------------------------------------------

  const ROWS = 16;
  const COLUMNS = 20;
  const TILE_LONG = 6;
  const COLOURS = 6;

  const rowLetter = (row) => String.fromCharCode(64 + row);
  const columnLetter = (column) => String.fromCharCode(96 + column);

  // A full move text: row letter, column letter, six colour digits, orientation letter.
  // As on the referee, any orientation letter other than h lays the tile vertically.
  function parseMove(text) {
    if (typeof text !== 'string' || text.length !== 9) {
      throw new Error('a move has nine characters, got ' + JSON.stringify(text));
    }
    const row = text.charCodeAt(0) - 64;
    const column = text.charCodeAt(1) - 96;
    const digits = [];
    for (let i = 2; i < 8; i++) {
      const colour = text.charCodeAt(i) - 48;
      if (!(colour >= 1 && colour <= COLOURS)) {
        throw new Error('move ' + text + ' has a colour digit outside 1 to 6');
      }
      digits.push(colour);
    }
    const horizontal = text[8] === 'h';
    const lastRow = row + (horizontal ? 1 : TILE_LONG - 1);
    const lastColumn = column + (horizontal ? TILE_LONG - 1 : 1);
    if (!(row >= 1 && column >= 1 && lastRow <= ROWS && lastColumn <= COLUMNS)) {
      throw new Error('move ' + text + ' does not lie on the board');
    }
    return { text, row, column, digits, horizontal };
  }

  // The twelve cells of a laid tile with their colours. The first line of the tile (the top
  // row when horizontal, the right column when vertical) carries the digits in text order,
  // the second line in reverse order.
  function tileCells(move) {
    const t = move.digits;
    const cells = [];
    for (let i = 0; i < TILE_LONG; i++) {
      if (move.horizontal) {
        cells.push({ row: move.row, column: move.column + i, colour: t[i] });
        cells.push({ row: move.row + 1, column: move.column + i, colour: t[TILE_LONG - 1 - i] });
      } else {
        cells.push({ row: move.row + i, column: move.column, colour: t[TILE_LONG - 1 - i] });
        cells.push({ row: move.row + i, column: move.column + 1, colour: t[i] });
      }
    }
    return cells;
  }

  // A board position: the visible colour of every cell (0 = empty) and the index of the
  // move whose tile lies on top there (-1 = empty). Rows and columns count from 1.
  class Board {
    constructor(other) {
      this.colours = other ? other.colours.slice() : new Array(ROWS * COLUMNS).fill(0);
      this.owners = other ? other.owners.slice() : new Array(ROWS * COLUMNS).fill(-1);
    }
    static index(row, column) { return (row - 1) * COLUMNS + (column - 1); }
    colour(row, column) { return this.colours[Board.index(row, column)]; }
    owner(row, column) { return this.owners[Board.index(row, column)]; }
    // A later tile hides whatever lies beneath it.
    lay(move, moveIndex) {
      for (const cell of tileCells(move)) {
        const k = Board.index(cell.row, cell.column);
        this.colours[k] = cell.colour;
        this.owners[k] = moveIndex;
      }
    }
  }

  // Every square whose four corner cells show the colour, as {row, column, size} with
  // (row, column) its top-left corner. Each one is worth its size.
  function scoringSquares(board, colour) {
    const squares = [];
    for (let r = 1; r < ROWS; r++) {
      for (let c = 1; c < COLUMNS; c++) {
        if (board.colour(r, c) !== colour) continue;
        const largest = Math.min(ROWS - r, COLUMNS - c);
        for (let d = 1; d <= largest; d++) {
          if (board.colour(r + d, c) === colour && board.colour(r, c + d) === colour &&
              board.colour(r + d, c + d) === colour) {
            squares.push({ row: r, column: c, size: d });
          }
        }
      }
    }
    return squares;
  }

  function score(board, colour) {
    return scoringSquares(board, colour).reduce((sum, square) => sum + square.size, 0);
  }

  // The whole game, replayed once: the position and both players' points after each move.
  // A move text that cannot be read ends the replay before it and is reported in `error`.
  function replay(moveTexts, playerColours) {
    const positions = [];
    const points = [];
    const parsed = [];
    let error = null;
    let board = new Board();
    for (let i = 0; i < moveTexts.length; i++) {
      let move;
      try {
        move = parseMove(moveTexts[i]);
      } catch (e) {
        error = 'Move ' + i + ' cannot be shown: ' + e.message;
        break;
      }
      board = new Board(board);
      board.lay(move, i);
      parsed.push(move);
      positions.push(board);
      points.push(playerColours.map((colour) => (isColour(colour) ? score(board, colour) : 0)));
    }
    return { moves: parsed, positions, points, error };
  }

  // A line a player wrote, as the page shows it: a carriage return as \r and any other control
  // character as \xNN, so that nothing it wrote is hidden or moves the text around.
  function shownText(text) {
    return String(text).replace(/[\x00-\x08\x0b-\x1f\x7f]/g, (c) => (c === '\r' ? '\\r'
      : '\\x' + c.charCodeAt(0).toString(16).padStart(2, '0')));
  }

  // "+3", "0", "\u22122" (a minus sign).
  function signed(value) {
    return value > 0 ? '+' + value : value < 0 ? '\u2212' + -value : '0';
  }

  function isColour(value) {
    return Number.isInteger(value) && value >= 1 && value <= COLOURS;
  }

  // Move 0 is the referee's start move; then player 1 and player 2 alternate.
  function moverOf(moveIndex) {
    return moveIndex === 0 ? 0 : ((moveIndex - 1) % 2) + 1;
  }

  // The placement rule: a tile lies wholly on the board, covers at most MOST_COVERED cells that
  // are covered already, and shares an edge with at least one covered cell. Colours play no part.
  const MOST_COVERED = 4;

  function fits(board, row, column, height, width) {
    const covered = (r, c) => r >= 1 && r <= ROWS && c >= 1 && c <= COLUMNS && board.owner(r, c) >= 0;
    let under = 0;
    for (let r = row; r < row + height; r++) {
      for (let c = column; c < column + width; c++) if (covered(r, c)) under++;
    }
    if (under > MOST_COVERED) return false;
    for (let i = 0; i < width; i++) {
      if (covered(row - 1, column + i) || covered(row + height, column + i)) return true;
    }
    for (let i = 0; i < height; i++) {
      if (covered(row + i, column - 1) || covered(row + i, column + width)) return true;
    }
    return false;
  }

  // Every legal place of a tile on `board` as {row, column, horizontal, text} with the answer a
  // player gives for it ("Fch"), in the referee's order: the horizontal anchors row by row, then
  // the vertical ones.
  function legalPlaces(board) {
    const places = [];
    for (const horizontal of [true, false]) {
      const height = horizontal ? 2 : TILE_LONG;
      const width = horizontal ? TILE_LONG : 2;
      for (let r = 1; r + height - 1 <= ROWS; r++) {
        for (let c = 1; c + width - 1 <= COLUMNS; c++) {
          if (!fits(board, r, c, height, width)) continue;
          places.push({ row: r, column: c, horizontal,
            text: rowLetter(r) + columnLetter(c) + (horizontal ? 'h' : 'v') });
        }
      }
    }
    return places;
  }

  // The move a position link names: "#move=N" gives N, held to 0 .. count-1; null for an
  // address that names no move (no hash, another key, N not a whole number, an empty game).
  function moveFromHash(hash, count) {
    const match = /^#?move=(-?\d{1,15})$/.exec(String(hash || ''));
    if (!match || count < 1) return null;
    return Math.max(0, Math.min(count - 1, Number(match[1])));
  }

  const rules = {
    ROWS, COLUMNS, TILE_LONG, rowLetter, columnLetter, parseMove, tileCells, Board, scoringSquares, score,
    replay, moverOf, isColour, moveFromHash, legalPlaces, shownText, signed,
  };

  root.ZarvoRules = rules;
  if (typeof module !== 'undefined' && module.exports) module.exports = { ...rules };
})(typeof window !== 'undefined' ? window : globalThis);
