// A small bot for the tests of built entries: the C sample's way of play, in Rust.
use std::io::{BufRead, Write};

const ROWS: i32 = 16;
const COLS: i32 = 20;

fn size(o: char) -> (i32, i32) { if o == 'h' { (2, 6) } else { (6, 2) } }

// Touches the covered area from outside and covers at most `most` covered cells.
fn fits(cov: &[[bool; 20]; 16], row: i32, col: i32, o: char, most: i32) -> bool {
    let (h, w) = size(o);
    if row + h > ROWS || col + w > COLS { return false; }
    let on = |r: i32, c: i32| r >= 0 && r < ROWS && c >= 0 && c < COLS && cov[r as usize][c as usize];
    let (mut overlap, mut contact) = (0, false);
    for r in row - 1..=row + h {
        for c in col - 1..=col + w {
            let (in_r, in_c) = (r >= row && r < row + h, c >= col && c < col + w);
            if in_r && in_c { overlap += on(r, c) as i32; } else if (in_r || in_c) && on(r, c) { contact = true; }
        }
    }
    contact && overlap <= most
}

fn lay(cov: &mut [[bool; 20]; 16], row: i32, col: i32, o: char) {
    let (h, w) = size(o);
    for r in row..row + h { for c in col..col + w { cov[r as usize][c as usize] = true; } }
}

fn main() {
    let mut cov = [[false; 20]; 16];
    for line in std::io::stdin().lock().lines() {
        let line = line.unwrap().trim().to_string();
        let b = line.as_bytes();
        if line == "Quit" { return; }
        if b.len() == 9 { lay(&mut cov, (b[0] - b'A') as i32, (b[1] - b'a') as i32, b[8] as char); }
        if b.len() != 6 { continue; }
        let mut answer = "Aah".to_string();
        'search: for most in [0, 4] { for r in 0..ROWS { for c in 0..COLS { for o in ['h', 'v'] {
            if fits(&cov, r, c, o, most) {
                lay(&mut cov, r, c, o);
                answer = format!("{}{}{}", (b'A' + r as u8) as char, (b'a' + c as u8) as char, o);
                break 'search;
            }
        } } } }
        println!("{}", answer);
        std::io::stdout().flush().unwrap();
    }
}
