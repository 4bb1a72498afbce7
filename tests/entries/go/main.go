// A small bot for the tests of built entries: the C sample's way of play, in Go.
package main

import ("bufio"; "fmt"; "os"; "strings")

var covered [16][20]bool

func size(o byte) (int, int) { if o == 'h' { return 2, 6 }; return 6, 2 }
func on(r, c int) bool { return r >= 0 && r < 16 && c >= 0 && c < 20 && covered[r][c] }

func lay(row, col int, o byte) {
	h, w := size(o)
	for r := row; r < row+h; r++ { for c := col; c < col+w; c++ { covered[r][c] = true } }
}

// Touches the covered area from outside and covers at most `most` covered cells.
func fits(row, col int, o byte, most int) bool {
	h, w := size(o)
	if row+h > 16 || col+w > 20 { return false }
	overlap, contact := 0, false
	for r := row - 1; r <= row+h; r++ {
		for c := col - 1; c <= col+w; c++ {
			inR, inC := r >= row && r < row+h, c >= col && c < col+w
			if inR && inC && on(r, c) { overlap++ } else if !(inR && inC) && (inR || inC) && on(r, c) { contact = true }
		}
	}
	return contact && overlap <= most
}

func answer() string {
	for _, most := range []int{0, 4} { for r := 0; r < 16; r++ { for c := 0; c < 20; c++ { for _, o := range []byte("hv") {
		if fits(r, c, o, most) { lay(r, c, o); return fmt.Sprintf("%c%c%c", 'A'+r, 'a'+c, o) }
	} } } }
	return "Aah"
}

func main() {
	in := bufio.NewScanner(os.Stdin)
	for in.Scan() {
		line := strings.TrimSpace(in.Text())
		if line == "Quit" { return }
		if len(line) == 9 { lay(int(line[0]-'A'), int(line[1]-'a'), line[8]) }
		if len(line) == 6 { fmt.Println(answer()) }
	}
}
