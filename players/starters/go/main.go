// Command zarvostarter is a Zarvo bot in Go, standard library only: copy this folder to start
// your own.
//
// It keeps its own model of the board, lists the legal places of every tile it is given and
// plays the one after which its own colour scores most (on a tie, the one that leaves the
// other colours fewest points).
// Put your own strategy into chooseMove; the rest is the plumbing every bot needs.
//
// The referee's lines, one per line on standard input:
//
//	"4"          our colour: we score the squares whose four corners show it
//	"Hh125364h"  the start move, later the opponent's moves: row, column, six digits, h or v
//	"Start"      only when we move first
//	"326415"     our tile: we answer row, column and orientation, e.g. "Kjh"
//	"Quit"       the game is over
//
// Standard output carries answers only; debug output goes to os.Stderr.
package main

import (
	"bufio"
	"fmt"
	"os"
	"strings"
)

const (
	rows       = 16 // rows A to P
	cols       = 20 // columns a to t
	maxOverlap = 4
	maxLine    = 1024 // the referee's lines are far shorter
)

// Board holds the colour seen in every cell, 0 where nothing lies. Rows 1..16 and columns 1..20
// are the field; rows 0 and 17 and columns 0 and 21 form an empty border, so that looking at
// the neighbour of an edge cell is always safe. Assigning a Board copies it.
type Board [rows + 2][cols + 2]int

// Move is a place for a tile: its top-left cell (1-based) and 'h' (2 rows by 6) or 'v' (6 by 2).
type Move struct {
	Row, Col    int
	Orientation byte
}

// last gives the tile's last row and last column.
func (m Move) last() (int, int) {
	if m.Orientation == 'h' {
		return m.Row + 1, m.Col + 5
	}
	return m.Row + 5, m.Col + 1
}

func (m Move) onBoard() bool {
	lastRow, lastCol := m.last()
	return m.Row >= 1 && m.Col >= 1 && lastRow <= rows && lastCol <= cols
}

func (m Move) answer() string {
	return fmt.Sprintf("%c%c%c", 'A'+m.Row-1, 'a'+m.Col-1, m.Orientation)
}

// lay lays tile "t0..t5". Laid 'h' it shows t0..t5 on its top row and t5..t0 below; laid 'v'
// it shows t0..t5 down its right column and t5..t0 down its left. New colours hide the old.
func (b *Board) lay(m Move, tile string) {
	for i := 0; i < 6; i++ {
		colour, mirror := int(tile[i]-'0'), int(tile[5-i]-'0')
		if m.Orientation == 'h' {
			b[m.Row][m.Col+i] = colour
			b[m.Row+1][m.Col+i] = mirror
		} else {
			b[m.Row+i][m.Col+1] = colour
			b[m.Row+i][m.Col] = mirror
		}
	}
}

// isLegal: wholly on the board, at most 4 covered cells under it, and an edge shared with a
// covered cell (a corner is not enough). Colours play no part.
func (b *Board) isLegal(m Move) bool {
	if !m.onBoard() {
		return false
	}
	lastRow, lastCol := m.last()
	overlap, contact := 0, false
	for r := m.Row; r <= lastRow; r++ {
		for c := m.Col; c <= lastCol; c++ {
			if b[r][c] != 0 {
				overlap++
			}
		}
		contact = contact || b[r][m.Col-1] != 0 || b[r][lastCol+1] != 0
	}
	for c := m.Col; c <= lastCol; c++ {
		contact = contact || b[m.Row-1][c] != 0 || b[lastRow+1][c] != 0
	}
	return overlap <= maxOverlap && contact
}

// legalMoves lists every legal place, horizontal ones first, row by row, left to right (the
// referee's own order).
func (b *Board) legalMoves() []Move {
	var moves []Move
	for _, orientation := range []byte{'h', 'v'} {
		for row := 1; row <= rows; row++ {
			for col := 1; col <= cols; col++ {
				if m := (Move{row, col, orientation}); b.isLegal(m) {
					moves = append(moves, m)
				}
			}
		}
	}
	return moves
}

// score gives the points of a colour: each square whose four corners show it is worth its
// size, the distance between its first and last row. The cells between the corners do not
// matter.
func (b *Board) score(colour int) int {
	points := 0
	for r := 1; r < rows; r++ {
		for c := 1; c < cols; c++ {
			if b[r][c] != colour {
				continue
			}
			for d := 1; r+d <= rows && c+d <= cols; d++ {
				if b[r+d][c] == colour && b[r][c+d] == colour && b[r+d][c+d] == colour {
					points += d
				}
			}
		}
	}
	return points
}

// chooseMove is the strategy: the legal move after which our colour scores most; on a tie the
// one that leaves the other colours (the opponent's is one of them) the fewest points; then
// the first. This is the place for your own (guess the opponent's colour, or look ahead).
func chooseMove(board *Board, tile string, colour int, moves []Move) Move {
	best, bestPoints, bestOthers := moves[0], -1, 0
	for _, m := range moves {
		trial := *board // try the move on a copy
		trial.lay(m, tile)
		points := trial.score(colour)
		if points < bestPoints {
			continue
		}
		others := 0
		for other := 1; other <= 6; other++ {
			if other != colour {
				others += trial.score(other)
			}
		}
		if points > bestPoints || others < bestOthers {
			best, bestPoints, bestOthers = m, points, others
		}
	}
	return best
}

func isTile(text string) bool {
	return len(text) == 6 && strings.Trim(text, "123456") == ""
}

// parseMove reads a full move such as "Gb256143h", of the start or the opponent.
func parseMove(text string) (Move, bool) {
	if len(text) != 9 || !isTile(text[2:8]) || (text[8] != 'h' && text[8] != 'v') {
		return Move{}, false
	}
	m := Move{int(text[0]) - 'A' + 1, int(text[1]) - 'a' + 1, text[8]}
	return m, m.onBoard()
}

func main() {
	var board Board // all empty
	colour := 0
	input := bufio.NewScanner(os.Stdin)
	input.Buffer(make([]byte, maxLine), maxLine) // a longer line stops the scanner with an error
	for input.Scan() {
		line := strings.TrimRight(input.Text(), "\r")
		if line == "Quit" {
			return
		}
		if line == "Start" {
			continue // we move first: our tile comes next
		}
		if m, ok := parseMove(line); ok {
			board.lay(m, line[2:8])
		} else if len(line) == 1 && line[0] >= '1' && line[0] <= '6' {
			colour = int(line[0] - '0')
		} else if isTile(line) {
			moves := board.legalMoves()
			if len(moves) == 0 {
				return // cannot happen: the referee only sends tiles that fit
			}
			m := chooseMove(&board, line, colour, moves)
			// os.Stdout is not buffered: the line leaves at once, as the referee waits for it.
			fmt.Println(m.answer())
			board.lay(m, line) // our own move is not sent back to us
		} else {
			fmt.Fprintln(os.Stderr, "unexpected line:", line)
		}
	}
	if err := input.Err(); err != nil {
		fmt.Fprintln(os.Stderr, "cannot read the referee's lines:", err)
		os.Exit(1)
	}
}
