/* The page at which a person plays one seat of a game against a bot (zarvo-arena play-human).
 *
 * The arena serves this page and the game's state; the referee decides everything. The page
 * shows the board, the tile to place, the points and whose turn it is, and marks the legal
 * places of the tile as the server lists them (it never judges a move itself). A click on a
 * marked cell, or a move typed into the field, is sent to the server, which refuses anything
 * that is not a legal move of the person's turn. The state is fetched by long polling, so the
 * bot's answers show as they come. At the end the page shows the result and links the replay.
 *
 * It draws with the board model and colours of zarvo.js (Zarvo.rules, Zarvo.PALETTE), which
 * the page loads first. The body's data-state ("your-turn", "waiting", "over", "gone") and
 * data-moves (moves laid) tell a reader, or a test, where the game stands.
 */
(function (root) {
  'use strict';

  const rules = root.Zarvo.rules;
  const PALETTE = root.Zarvo.PALETTE;
  const INK = { 1: '#000', 2: '#000', 3: '#000', 4: '#fff', 5: '#000', 6: '#fff' };

  function make(tag, attributes, parent) {
    const node = document.createElement(tag);
    for (const [key, value] of Object.entries(attributes || {})) {
      if (key === 'text') node.textContent = value;
      else node.setAttribute(key, value);
    }
    if (parent) parent.appendChild(node);
    return node;
  }

  // The twelve cells a tile at `answer` ("Fch") covers, with their colours.
  function cellsOf(answer, tile) {
    return rules.tileCells(rules.parseMove(answer[0] + answer[1] + tile + answer[2]));
  }

  class ZarvoPlay {
    constructor(container) {
      this.orientation = 'h';
      this.state = null;
      this.version = null;
      this.sending = false;
      this.build(container);
      this.poll();
    }

    build(container) {
      this.status = make('h2', { id: 'status', text: 'Connecting to the arena...' }, container);
      this.scores = make('div', { id: 'scores' }, container);
      const row = make('div', { class: 'play-row' }, container);
      this.board = make('div', { id: 'play-board', role: 'grid' }, row);
      this.cells = [];
      for (let r = 1; r <= rules.ROWS; r++) {
        for (let c = 1; c <= rules.COLUMNS; c++) {
          const cell = make('div', { class: 'cell', 'data-row': r, 'data-column': c }, this.board);
          cell.addEventListener('click', () => this.clicked(cell));
          cell.addEventListener('mouseenter', () => this.preview(cell));
          this.cells.push(cell);
        }
      }
      this.board.addEventListener('mouseleave', () => this.preview(null));

      const side = make('div', { class: 'play-side' }, row);
      make('div', { class: 'label', text: 'Tile to place' }, side);
      this.tile = make('div', { id: 'tile' }, side);
      this.rotate = make('button', { id: 'rotate', type: 'button', text: 'Rotate (R)' }, side);
      this.rotate.addEventListener('click', () => this.turnTile());
      document.addEventListener('keydown', (event) => {
        if ((event.key === 'r' || event.key === 'R') && event.target.tagName !== 'INPUT') {
          this.turnTile();
        }
      });
      const form = make('form', { id: 'move-form' }, side);
      make('label', { for: 'move-text', text: 'or type a move (row, column, h or v): ' }, form);
      this.text = make('input', { id: 'move-text', size: 4, maxlength: 3, autocomplete: 'off' },
        form);
      this.play = make('button', { type: 'submit', text: 'Play' }, form);
      form.addEventListener('submit', (event) => {
        event.preventDefault();
        this.send(this.text.value.trim());
      });
      this.message = make('div', { id: 'message', role: 'alert' }, side);
      this.notice = make('div', { id: 'notice' }, side);

      this.result = make('div', { id: 'result', hidden: '' }, container);
      this.resultText = make('p', { id: 'result-text' }, this.result);
      this.resultLine = make('pre', { id: 'result-line' }, this.result);
      this.replay = make('a', { id: 'replay-link', text: 'Replay of the game', target: '_blank' },
        this.result);
      this.close = make('button', { id: 'close', type: 'button', text: 'Close' }, this.result);
      this.close.addEventListener('click', () => this.finish());
    }

    // Long polling: each request returns once the state differs from the one shown.
    async poll() {
      for (;;) {
        let state;
        try {
          const query = this.version === null ? '' : '?seen=' + this.version;
          const response = await fetch('/state' + query, { cache: 'no-store' });
          if (!response.ok) throw new Error('HTTP ' + response.status);
          state = await response.json();
        } catch (error) {
          this.lost('The arena no longer answers (' + error.message + ').');
          return;
        }
        this.version = state.version;
        this.show(state);
        if (state.end) return;
      }
    }

    lost(text) {
      document.body.dataset.state = 'gone';
      this.status.textContent = text;
    }

    mySeat() { return this.state.seat - 1; }

    show(state) {
      this.state = state;
      const mine = this.mySeat();
      const legalHere = state.legal.filter((answer) => answer[2] === this.orientation);
      if (legalHere.length === 0 && state.legal.length > 0) {
        this.orientation = this.orientation === 'h' ? 'v' : 'h';
      }
      this.drawBoard();
      this.drawTile();
      this.drawScores();
      this.notice.textContent = state.notice;
      let phase = 'waiting';
      if (state.end) phase = 'over';
      else if (state.tile) phase = 'your-turn';
      document.body.dataset.state = phase;
      this.text.disabled = this.play.disabled = phase !== 'your-turn';
      document.body.dataset.moves = String(state.moves.length);
      if (phase === 'your-turn') {
        this.status.textContent = 'Your turn: place the tile on a marked cell';
      } else if (phase === 'waiting') {
        this.status.textContent = state.moves.length === 0 ? 'Waiting for the game to start' :
          'Waiting for ' + state.names[1 - mine] + '...';
      } else {
        this.status.textContent = 'Game over';
        this.showResult(state.end);
      }
    }

    drawBoard() {
      const board = new rules.Board();
      this.state.moves.forEach((text, i) => board.lay(rules.parseMove(text), i));
      const last = this.state.moves.length - 1;
      const legal = new Map(this.state.legal.filter((answer) => answer[2] === this.orientation)
        .map((answer) => [answer.charCodeAt(0) - 64 + ',' + (answer.charCodeAt(1) - 96), answer]));
      for (const cell of this.cells) {
        const r = Number(cell.dataset.row);
        const c = Number(cell.dataset.column);
        const colour = board.colour(r, c);
        cell.style.background = colour ? PALETTE[colour] : '';
        cell.style.color = colour ? INK[colour] : '';
        cell.textContent = colour ? String(colour) : '';
        cell.classList.toggle('last', last > 0 && board.owner(r, c) === last);
        const answer = legal.get(r + ',' + c);
        cell.classList.toggle('legal', Boolean(answer));
        cell.classList.remove('ghost');
        if (answer) {
          cell.dataset.move = answer;
          cell.title = answer;
        } else {
          delete cell.dataset.move;
          cell.removeAttribute('title');
        }
      }
    }

    drawTile() {
      this.tile.textContent = '';
      const tile = this.state.tile;
      this.tile.classList.toggle('vertical', this.orientation === 'v');
      this.rotate.disabled = !tile;
      if (!tile) return;
      // The tile as it lies when placed this way round at the top left.
      const cells = cellsOf(this.orientation === 'h' ? 'Aah' : 'Aav', tile);
      const rows = this.orientation === 'h' ? 2 : 6;
      const columns = this.orientation === 'h' ? 6 : 2;
      this.tile.style.gridTemplateColumns = 'repeat(' + columns + ', 24px)';
      const grid = new Array(rows * columns);
      for (const cell of cells) grid[(cell.row - 1) * columns + (cell.column - 1)] = cell.colour;
      for (const colour of grid) {
        make('div', { class: 'cell', text: String(colour),
          style: 'background:' + PALETTE[colour] + ';color:' + INK[colour] }, this.tile);
      }
    }

    drawScores() {
      const { names, colours, points } = this.state;
      this.scores.textContent = '';
      for (let p = 0; p < 2; p++) {
        const who = names[p] + (p === this.mySeat() ? ' (you)' : '');
        const colour = colours[p] ? ', colour ' + colours[p] : '';
        const text = who + colour + ': ' + (points[p] === null ? '?' : points[p]) + ' points';
        const line = make('pre', { id: 'p' + (p + 1) + '-points', text }, this.scores);
        if (colours[p]) line.style.borderLeft = '12px solid ' + PALETTE[colours[p]];
      }
    }

    showResult(end) {
      this.result.hidden = false;
      if (end.failure) {
        this.resultText.textContent = 'The game could not be finished: ' + end.failure;
      } else {
        const { names, points } = this.state;
        const won = end.winner === '-' ? 'Nobody won.' :
          (end.winner === names[this.mySeat()] ? 'You won!' : end.winner + ' won.');
        this.resultText.textContent = won + ' ' + names[0] + ' ' + points[0] + ' points, ' +
          names[1] + ' ' + points[1] + ' points (' + end.description + ').';
      }
      this.resultLine.textContent = end.result_line;
      if (end.replay) this.replay.href = end.replay;
      else this.replay.hidden = true;
    }

    turnTile() {
      if (!this.state) return;
      this.orientation = this.orientation === 'h' ? 'v' : 'h';
      this.drawBoard();
      this.drawTile();
    }

    // The cells the tile would cover at `cell`, shown while the pointer is over a legal place.
    preview(cell) {
      for (const other of this.cells) other.classList.remove('ghost');
      if (!cell || !cell.dataset.move || !this.state.tile) return;
      for (const covered of cellsOf(cell.dataset.move, this.state.tile)) {
        const k = (covered.row - 1) * rules.COLUMNS + (covered.column - 1);
        this.cells[k].classList.add('ghost');
      }
    }

    clicked(cell) {
      if (cell.dataset.move) this.send(cell.dataset.move);
    }

    async send(answer) {
      if (this.sending) return;
      this.sending = true;
      this.message.textContent = '';
      try {
        const response = await fetch('/move', {
          method: 'POST', body: answer, headers: { 'X-Zarvo-Play': '1' },
        });
        if (!response.ok) {
          const refusal = await response.json().catch(() => ({ error: 'HTTP ' + response.status }));
          this.message.textContent = 'Not played: ' + refusal.error;
        } else {
          this.text.value = '';
        }
      } catch (error) {
        this.message.textContent = 'Not played: the arena no longer answers';
      } finally {
        this.sending = false;
      }
    }

    async finish() {
      try {
        await fetch('/close', { method: 'POST', headers: { 'X-Zarvo-Play': '1' } });
      } catch (error) {
        // It has stopped already.
      }
      this.close.disabled = true;
      this.status.textContent = 'Game over. The arena has stopped serving; you may close this tab.';
    }
  }

  root.ZarvoPlay = ZarvoPlay;
})(window);
