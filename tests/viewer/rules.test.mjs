// The viewer's own copy of the game rules: where a tile lays its colours and how a colour
// scores. The scores the page shows must be the referee's, so these are the cases that pin it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const script = process.env.ZARVO_VIEWER_JS ?? path.join(here, '..', '..', 'viewer', 'zarvo_rules.js');
const rules = createRequire(import.meta.url)(script);
const { Board, parseMove, tileCells, score, scoringSquares, replay, moverOf, legalPlaces, shownText } = rules;

// A board with the given cells painted in one colour, as a tile stack could leave it.
function paint(cells, colour) {
  const board = new Board();
  for (const [row, column] of cells) board.colours[Board.index(row, column)] = colour;
  return board;
}

function block(top, left, height, width) {
  const cells = [];
  for (let r = top; r < top + height; r++) for (let c = left; c < left + width; c++) cells.push([r, c]);
  return cells;
}

function layAll(texts) {
  const board = new Board();
  texts.forEach((text, i) => board.lay(parseMove(text), i));
  return board;
}

test('the start tile lays its digits forwards on its first row and backwards on its second', () => {
  const board = layAll(['Hh523146h']);
  assert.deepEqual([8, 9, 10, 11, 12, 13].map((c) => board.colour(8, c)), [5, 2, 3, 1, 4, 6]);
  assert.deepEqual([8, 9, 10, 11, 12, 13].map((c) => board.colour(9, c)), [6, 4, 1, 3, 2, 5]);
  assert.equal(board.colours.filter((c) => c !== 0).length, 12);
  assert.equal(board.colour(8, 7), 0);
  assert.equal(board.colour(10, 8), 0);
});

test('a vertical tile is the horizontal one turned a quarter turn clockwise', () => {
  const board = layAll(['Ks123456v']); // anchor row 11, column 19: the field's last row and column
  assert.deepEqual([11, 12, 13, 14, 15, 16].map((r) => board.colour(r, 20)), [1, 2, 3, 4, 5, 6]);
  assert.deepEqual([11, 12, 13, 14, 15, 16].map((r) => board.colour(r, 19)), [6, 5, 4, 3, 2, 1]);
});

test('each colour sits in two cells that a half turn about the tile centre exchanges', () => {
  for (const text of ['Cd361524h', 'Cd361524v']) {
    const move = parseMove(text);
    const cells = tileCells(move);
    const height = move.horizontal ? 2 : 6;
    const width = move.horizontal ? 6 : 2;
    for (const cell of cells) {
      const turned = cells.find((o) => o.row === 2 * move.row + height - 1 - cell.row &&
                                      o.column === 2 * move.column + width - 1 - cell.column);
      assert.equal(turned.colour, cell.colour, text);
    }
  }
});

test('any orientation letter other than h lays the tile vertically', () => {
  assert.equal(parseMove('Aa123456x').horizontal, false);
  assert.equal(parseMove('Aa123456h').horizontal, true);
});

test('a later tile hides the colours beneath it and lies on top there', () => {
  const board = layAll(['Hh123456h', 'Fm654321v']); // covers (8,13), (9,13) of the start tile
  assert.equal(board.colour(8, 13), 3);
  assert.equal(board.colour(9, 13), 4);
  assert.equal(board.owner(8, 13), 1);
  assert.equal(board.owner(8, 12), 0);
  assert.equal(board.colours.filter((c) => c !== 0).length, 22);
});

test('move texts that cannot be laid are refused with the reason', () => {
  for (const [text, reason] of [['Hh12345h', /nine characters/], ['Hh123457h', /colour digit/],
    ['Hh120456h', /colour digit/], ['Pa123456h', /board/], ['Lt123456v', /board/],
    ['Ap123456h', /board/], ['@a123456h', /board/]]) {
    assert.throws(() => parseMove(text), reason, text);
  }
  assert.equal(parseMove('Oo123456h').row, 15);
});

test('scoring counts every square with four corners of the colour by its size', () => {
  assert.equal(score(layAll(['Hh523146h']), 5), 0, 'a single tile');
  for (let colour = 1; colour <= 6; colour++) assert.equal(score(layAll(['Hh523146h']), colour), 0);
  assert.equal(score(paint(block(4, 4, 2, 2), 3), 3), 1, '2x2 block');
  assert.equal(score(paint(block(4, 4, 3, 3), 3), 3), 6, '3x3 block');
  assert.equal(score(paint(block(4, 4, 2, 4), 3), 3), 3, '2x4 block');
  assert.equal(score(paint([[1, 1], [1, 16], [16, 1], [16, 16]], 2), 2), 15, 'corners of a 15-square');
  assert.equal(score(paint([[1, 1], [1, 20], [16, 1], [16, 20]], 2), 2), 0, 'field corners: a rectangle');
  assert.equal(score(paint(block(1, 1, 16, 20), 6), 6), 8160, 'the full field');
  assert.equal(score(paint(block(1, 1, 16, 20), 6), 5), 0, 'another colour');
});

test('cells between the corners do not matter; a covered corner no longer scores', () => {
  const board = paint([[2, 2], [2, 5], [5, 2], [5, 5]], 4);
  board.colours[Board.index(3, 3)] = 1;
  assert.deepEqual(scoringSquares(board, 4), [{ row: 2, column: 2, size: 3 }]);
  board.colours[Board.index(5, 5)] = 1;
  assert.equal(score(board, 4), 0);
});

test('a replay holds every position and both players points after each move', () => {
  // Built so that colour 6 gets a 2x2 block across four tiles at rows G-H, columns m-n.
  const moves = ['Hh123456h', 'Hn623451h', 'Fh612345h', 'Fn123456h'];
  const game = replay(moves, [6, 1]);
  assert.equal(game.error, null);
  assert.equal(game.positions.length, 4);
  assert.deepEqual(game.points.map((pair) => pair[0]), [0, 0, 0, 1]);
  assert.deepEqual(scoringSquares(game.positions[3], 6), [{ row: 7, column: 13, size: 1 }]);
  assert.equal(game.positions[0].colour(8, 14), 0, 'earlier positions stay as they were');
  assert.deepEqual([0, 1, 2, 3, 4].map(moverOf), [0, 1, 2, 1, 2]);
});

test('a replay stops before a move it cannot read and says which', () => {
  const game = replay(['Hh123456h', 'Jh654321h', 'garbage', 'Fh612345h'], [1, 2]);
  assert.equal(game.positions.length, 2);
  assert.match(game.error, /Move 2/);
  assert.deepEqual(replay([], [1, 2]).positions, []);
});

test('the legal places around the start tile: contact along an edge, at most 4 cells covered', () => {
  const places = legalPlaces(layAll(['Hh523146h'])).map((place) => place.text);
  assert.equal(places.length, 125);
  assert.equal(places.filter((text) => text.endsWith('h')).length, 48, 'horizontal ones first');
  assert.deepEqual([places[0], places[47], places[48], places.at(-1)], ['Fch', 'Jmh', 'Bgv', 'Jmv']);
  assert.ok(!places.includes('Fbh'), 'a corner is no contact');
  assert.ok(places.includes('Gfh'), '4 covered cells are allowed');
  assert.ok(!places.includes('Ggh'), '5 are not');
  assert.deepEqual(legalPlaces(new Board()), [], 'nothing to touch');
});

test('what a player wrote shows its control characters', () => {
  assert.equal(shownText('Gbh\r'), 'Gbh\\r');
  assert.equal(shownText('a\u0007b\tc'), 'a\\x07b\tc');
});
