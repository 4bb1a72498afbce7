// A small bot for the tests of built entries: the C sample's way of play, in JavaScript.
const ROWS = 16, COLS = 20;
const covered = Array.from({ length: ROWS }, () => Array(COLS).fill(false));
const size = (o) => (o === "h" ? [2, 6] : [6, 2]);
const on = (r, c) => r >= 0 && r < ROWS && c >= 0 && c < COLS && covered[r][c];

function lay(row, col, o) {
  const [h, w] = size(o);
  for (let r = row; r < row + h; ++r) for (let c = col; c < col + w; ++c) covered[r][c] = true;
}

// Touches the covered area from outside and covers at most `most` covered cells.
function fits(row, col, o, most) {
  const [h, w] = size(o);
  if (row + h > ROWS || col + w > COLS) return false;
  let overlap = 0, contact = false;
  for (let r = row - 1; r <= row + h; ++r) {
    for (let c = col - 1; c <= col + w; ++c) {
      const inside = r >= row && r < row + h && c >= col && c < col + w;
      const corner = (r < row || r >= row + h) && (c < col || c >= col + w);
      if (inside) overlap += on(r, c) ? 1 : 0;
      else if (!corner && on(r, c)) contact = true;
    }
  }
  return contact && overlap <= most;
}

function answer() {
  for (const most of [0, 4])
    for (let r = 0; r < ROWS; ++r)
      for (let c = 0; c < COLS; ++c)
        for (const o of "hv")
          if (fits(r, c, o, most)) return lay(r, c, o), String.fromCharCode(65 + r, 97 + c) + o;
  return "Aah";
}

require("readline").createInterface({ input: process.stdin }).on("line", (line) => {
  line = line.trim();
  if (line === "Quit") process.exit(0);
  if (line.length === 9) lay(line.charCodeAt(0) - 65, line.charCodeAt(1) - 97, line[8]);
  if (line.length === 6) process.stdout.write(answer() + "\n");
});
