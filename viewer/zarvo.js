/* Zarvo replay viewer: the page itself, after the rules of zarvo_rules.js.
 *
 * The replay page defines the global `moves` (the start move, then every move in order) and
 * runs `new Zarvo([name1, name2], moves, [colour1, colour2])`. This file draws the board on
 * canvas-1, the points of both players after every move on canvas-2, fills p1-score, p2-score
 * and the move table, wires the five buttons and the keys Left, Right, Home, End, Space, and
 * adds a speed control for Play and a slider over the moves. The move table gives each move's
 * points gained and both players' points after it; a toggle shows where the shown move's tile
 * could legally have been laid.
 *
 * The address names the position shown: `page.html#move=N` opens the replay at move N (0 is
 * the start position), every step rewrites it in place (no new history entry), and editing it
 * while the page is open moves the replay.
 *
 * Self-contained on purpose: the page loads one script (from disk, too), so there are no
 * imports and no requests. The build joins zarvo_rules.js (the rules, window.ZarvoRules) and
 * this file into that script; loaded by Node it exports the rules, PALETTE and Zarvo.
 */
(function (root) {
  'use strict';

  const {
    ROWS, COLUMNS, rowLetter, columnLetter, Board, scoringSquares, replay, moverOf, isColour,
    moveFromHash, legalPlaces, shownText, signed, TILE_LONG,
  } = root.ZarvoRules;
  const rules = root.ZarvoRules;

  // ---------------------------------------------------------------------------------------
  // Viewer.
  // ---------------------------------------------------------------------------------------

  // Okabe-Ito colours, chosen to stay apart for the common kinds of colour blindness; every
  // cell also shows its digit, so no colour has to be told by hue alone.
  const PALETTE = {
    1: '#D55E00', // vermillion
    2: '#56B4E9', // sky blue
    3: '#F0E442', // yellow
    4: '#009E73', // bluish green
    5: '#CC79A7', // reddish purple
    6: '#0072B2', // blue
  };
  const DIGIT_INK = { 1: '#000', 2: '#000', 3: '#000', 4: '#fff', 5: '#000', 6: '#fff' };
  const EMPTY_CELL = '#F4F4F0';
  const GRID_LINE = '#D0D0C8';
  const TILE_EDGE = '#202020';
  const LAST_MOVE = '#000000';
  const LEGAL_PLACE = '#000000';
  const PLAYER_DASH = [[], [7, 4]];

  const CELL = 28;
  const MARGIN_LEFT = 24;
  const MARGIN_TOP = 22;
  const MARGIN_END = 8;
  // Time per move when playing, from slow to fast; the default is the middle one.
  const PLAY_SPEEDS = [
    ['Very slow', 2000], ['Slow', 1200], ['Normal', 700], ['Fast', 350], ['Very fast', 120],
  ];
  const DEFAULT_SPEED = 'Normal';
  const TIME_CHART_HEIGHT = 110;

  // "12 ms", "1.25 s".
  function formatMs(ms) {
    return ms < 1000 ? Math.round(ms) + ' ms' : (ms / 1000).toFixed(2) + ' s';
  }
  // The address is rewritten at most this often: browsers refuse a flood of history updates
  // (holding a key down, dragging the slider, fast play), so later ones wait and the last wins.
  const ADDRESS_UPDATE_MS = 200;

  // The two axes of a chart, the top value's label beside the vertical one and 0 at its foot;
  // leaves the text style for the chart's own labels.
  function drawAxes(g, left, top, right, bottom, topLabel) {
    g.strokeStyle = '#888';
    g.lineWidth = 1;
    g.beginPath();
    g.moveTo(left, top);
    g.lineTo(left, bottom);
    g.lineTo(right, bottom);
    g.stroke();
    g.font = '11px sans-serif';
    g.fillStyle = '#333';
    g.textAlign = 'right';
    g.textBaseline = 'middle';
    g.fillText(topLabel, left - 4, top);
    g.fillText('0', left - 4, bottom);
  }

  function element(id) {
    const found = document.getElementById(id);
    if (!found) throw new Error('the replay page has no element with id "' + id + '"');
    return found;
  }

  // Backing store at the screen's pixel density so that lines and digits stay sharp.
  function sizeCanvas(canvas, width, height) {
    const ratio = root.devicePixelRatio || 1;
    canvas.width = Math.round(width * ratio);
    canvas.height = Math.round(height * ratio);
    canvas.style.width = width + 'px';
    canvas.style.height = height + 'px';
    const context = canvas.getContext('2d');
    context.setTransform(ratio, 0, 0, ratio, 0, 0);
    return context;
  }

  class Zarvo {
    constructor(names, moveTexts, colours) {
      this.names = [0, 1].map((p) => String((names && names[p]) || ''));
      this.colours = [0, 1].map((p) => Number(colours && colours[p]));
      const game = replay(Array.isArray(moveTexts) ? moveTexts : [], this.colours);
      this.moves = game.moves;
      this.positions = game.positions;
      this.points = game.points;
      const linked = moveFromHash(root.location && root.location.hash, this.moves.length);
      this.current = linked === null ? this.moves.length - 1 : linked;
      this.timer = null;
      this.interval = PLAY_SPEEDS.find(([name]) => name === DEFAULT_SPEED)[1];
      this.highlighted = [false, false];
      this.showLegal = false;
      this.address = { timer: null, lastWrite: -Infinity };

      this.boardCanvas = element('canvas-1');
      this.chartCanvas = element('canvas-2');
      this.scoreText = [element('p1-score'), element('p2-score')];
      this.playButton = element('play-pause');
      this.tableBox = element('move-table').querySelector('div') || element('move-table');

      this.boardWidth = MARGIN_LEFT + COLUMNS * CELL + MARGIN_END;
      this.boardHeight = MARGIN_TOP + ROWS * CELL + MARGIN_END;
      this.board = sizeCanvas(this.boardCanvas, this.boardWidth, this.boardHeight);
      this.chart = sizeCanvas(this.chartCanvas, this.boardWidth, 190);

      if (game.error) this.showError(game.error);
      this.explainResult();
      this.buildHighlightToggles();
      this.buildMoveTable();
      this.buildPlayControls();
      this.bindControls();
      this.turns = null;
      this.show(this.current);
      this.loadTurnRecord();
    }

    // --- navigation -------------------------------------------------------------------

    show(index) {
      if (this.moves.length === 0) {
        this.current = -1;
      } else {
        this.current = Math.max(0, Math.min(this.moves.length - 1, index));
      }
      this.drawBoard();
      this.drawChart();
      this.updateScores();
      this.updateLegalInfo();
      this.updateMoveTable();
      this.updateSlider();
      this.updateAddress();
      this.updateTurn();
    }

    first() { this.show(0); }
    prev() { this.show(this.current - 1); }
    next() { this.show(this.current + 1); }
    last() { this.show(this.moves.length - 1); }

    playPause() {
      if (this.timer !== null) {
        this.pause();
        return;
      }
      if (this.current >= this.moves.length - 1) this.show(0);
      this.startTimer();
      this.playButton.textContent = 'Pause';
    }

    startTimer() {
      this.timer = root.setInterval(() => {
        if (this.current >= this.moves.length - 1) this.pause();
        else this.next();
      }, this.interval);
    }

    // A new speed takes effect at once, also in the middle of a replay.
    setSpeed(milliseconds) {
      this.interval = milliseconds;
      if (this.timer === null) return;
      root.clearInterval(this.timer);
      this.startTimer();
    }

    pause() {
      if (this.timer !== null) root.clearInterval(this.timer);
      this.timer = null;
      this.playButton.textContent = 'Play';
    }

    bindControls() {
      // Stepping by hand stops a running replay, as in any media player.
      const manual = (step) => () => { this.pause(); step(); };
      this.slider.addEventListener('input', () => {
        this.pause();
        this.show(Number(this.slider.value));
      });
      this.speed.addEventListener('change', () => this.setSpeed(Number(this.speed.value)));
      root.addEventListener('hashchange', () => {
        // The address the reader just gave wins over a rewrite still waiting for its turn.
        if (this.address.timer !== null) {
          root.clearTimeout(this.address.timer);
          this.address.timer = null;
        }
        const linked = moveFromHash(root.location.hash, this.moves.length);
        if (linked === null) return;
        this.pause();
        this.show(linked);
      });
      const actions = {
        first: manual(() => this.first()),
        prev: manual(() => this.prev()),
        next: manual(() => this.next()),
        last: manual(() => this.last()),
        'play-pause': () => this.playPause(),
      };
      for (const [id, action] of Object.entries(actions)) {
        element(id).addEventListener('click', action);
      }
      const keys = {
        ArrowLeft: actions.prev, ArrowRight: actions.next, Home: actions.first,
        End: actions.last, ' ': actions['play-pause'],
      };
      document.addEventListener('keydown', (event) => {
        if (event.ctrlKey || event.altKey || event.metaKey) return;
        const action = keys[event.key];
        if (!action) return;
        // A focused button or checkbox already answers Space with a click of its own; the
        // slider moves itself with the arrows, Home and End; a list box keeps every key.
        const target = event.target || {};
        const tag = target.tagName;
        if (tag === 'SELECT') return;
        if (target === this.slider) {
          if (event.key !== ' ') return;
        } else if (event.key === ' ' && (tag === 'BUTTON' || tag === 'INPUT')) {
          return;
        }
        event.preventDefault();
        action();
      });
    }

    // --- speed, slider and address -----------------------------------------------------

    // The speed list joins the buttons; the slider and the move number go on a line below.
    buildPlayControls() {
      const buttons = this.playButton.parentNode;
      const speedLabel = document.createElement('label');
      speedLabel.className = 'speed-control';
      speedLabel.appendChild(document.createTextNode('Speed '));
      this.speed = document.createElement('select');
      this.speed.id = 'play-speed';
      for (const [name, milliseconds] of PLAY_SPEEDS) {
        const option = document.createElement('option');
        option.value = String(milliseconds);
        option.textContent = name;
        option.selected = name === DEFAULT_SPEED;
        this.speed.appendChild(option);
      }
      speedLabel.appendChild(this.speed);
      buttons.appendChild(speedLabel);

      const bar = document.createElement('div');
      bar.className = 'slider-bar';
      this.slider = document.createElement('input');
      this.slider.type = 'range';
      this.slider.id = 'move-slider';
      this.slider.min = '0';
      this.slider.max = String(Math.max(0, this.moves.length - 1));
      this.slider.step = '1';
      this.slider.disabled = this.moves.length < 2;
      this.slider.setAttribute('aria-label', 'Move');
      this.moveNumber = document.createElement('span');
      this.moveNumber.id = 'move-number';
      bar.appendChild(this.slider);
      bar.appendChild(this.moveNumber);
      buttons.parentNode.insertBefore(bar, buttons.nextSibling);
    }

    updateSlider() {
      const shown = Math.max(0, this.current);
      this.slider.value = String(shown);
      const last = Math.max(0, this.moves.length - 1);
      this.moveNumber.textContent = 'Move ' + shown + ' of ' + last;
      this.slider.setAttribute('aria-valuetext', this.moveNumber.textContent);
    }

    // Rewrites "#move=N" in place, at most once per ADDRESS_UPDATE_MS; a step that comes
    // sooner is written when that time is up, so the address always ends at the move shown.
    updateAddress() {
      if (this.current < 0 || !root.history || !root.history.replaceState) return;
      const address = this.address;
      if (address.timer !== null) return;
      const wait = address.lastWrite + ADDRESS_UPDATE_MS - Date.now();
      if (wait > 0) {
        address.timer = root.setTimeout(() => { address.timer = null; this.updateAddress(); }, wait);
        return;
      }
      const hash = '#move=' + this.current;
      if (root.location.hash === hash) return;
      address.lastWrite = Date.now();
      try {
        root.history.replaceState(root.history.state, '', hash);
      } catch (e) {
        // A page shown where its address cannot change (a sandboxed frame) just keeps it.
      }
    }

    // --- scores -------------------------------------------------------------------------

    updateScores() {
      for (let p = 0; p < 2; p++) {
        const colour = isColour(this.colours[p]) ? String(this.colours[p]) : '?';
        const points = this.current >= 0 ? this.points[this.current][p] : 0;
        this.scoreText[p].textContent = 'Player ' + (p + 1) + ' (colour ' + colour + '): ' + points;
        if (this.names[p]) this.scoreText[p].title = this.names[p];
      }
      this.movePoints.textContent = this.current < 1 ? 'Move 0: the start tile, 0 points each.'
        : 'Move ' + this.current + ' (' + this.playerLabel(moverOf(this.current)) + '): ' +
          [0, 1].map((p) => signed(this.gain(this.current, p)) + ' for ' + this.playerLabel(p + 1))
            .join(', ') + '; after it ' + this.points[this.current].join(' - ') + '.';
    }

    // What move i changed in the points of player p (0 or 1): a tile may take points too.
    gain(i, p) {
      return i < 1 ? 0 : this.points[i][p] - this.points[i - 1][p];
    }

    // The page's "Result" row gives the referee's result values (200 + difference for a win,
    // ...), which are not the points the board shows: a row beneath gives the final points and
    // how the one follows from the other.
    explainResult() {
      const header = Array.from(document.querySelectorAll('th'))
        .find((cell) => /^Result:/.test(cell.textContent.trim()));
      const row = header && header.parentNode;
      if (!row || !row.parentNode || this.moves.length === 0) return;
      const final = this.points[this.moves.length - 1];
      const explained = document.createElement('tr');
      explained.id = 'result-explained';
      const title = document.createElement('th');
      title.align = 'left';
      title.textContent = 'Points:\u00a0\u00a0';
      const text = document.createElement('td');
      text.className = 'quvborder';
      text.textContent = final[0] + ' - ' + final[1] + ' on the final board. The result values ' +
        'above are: a win 200 + the difference in points, a draw 150, a loss 100 - the ' +
        'difference (never below 0), a disqualified player 0 (its opponent keeps the value ' +
        'its points give).';
      explained.appendChild(title);
      explained.appendChild(text);
      row.parentNode.insertBefore(explained, row.nextSibling);
    }

    buildHighlightToggles() {
      const bar = document.createElement('div');
      bar.className = 'highlight-bar';
      for (let p = 0; p < 2; p++) {
        const label = document.createElement('label');
        const box = document.createElement('input');
        box.type = 'checkbox';
        box.id = 'highlight-p' + (p + 1);
        box.addEventListener('change', () => {
          this.highlighted[p] = box.checked;
          this.drawBoard();
        });
        label.appendChild(box);
        label.appendChild(document.createTextNode(' squares of player ' + (p + 1)));
        bar.appendChild(label);
      }
      const label = document.createElement('label');
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.id = 'show-legal';
      box.addEventListener('change', () => {
        this.showLegal = box.checked;
        this.drawBoard();
        this.updateLegalInfo();
      });
      label.appendChild(box);
      label.appendChild(document.createTextNode(' legal places of this move\'s tile'));
      bar.appendChild(label);
      const scores = this.scoreText[1].parentNode;
      this.movePoints = document.createElement('p');
      this.movePoints.id = 'move-points';
      scores.appendChild(this.movePoints);
      scores.appendChild(bar);
      this.legalInfo = document.createElement('p');
      this.legalInfo.id = 'legal-info';
      scores.appendChild(this.legalInfo);
    }

    // The legal places of the shown move's tile, on the board it was laid on; null when they
    // are not shown (or for the start tile, which had no choice).
    shownLegalPlaces() {
      if (!this.showLegal || this.current < 1) return null;
      return legalPlaces(this.positions[this.current - 1]);
    }

    updateLegalInfo() {
      const places = this.shownLegalPlaces();
      this.legalInfo.hidden = !this.showLegal;
      if (!this.showLegal) return;
      if (places === null) {
        this.legalInfo.textContent = 'The referee lays the start tile itself: it had no choice.';
        return;
      }
      const across = places.filter((place) => place.horizontal).length;
      this.legalInfo.textContent = 'The board before move ' + this.current + ', with the ' +
        places.length + ' legal places of its tile ' + this.moves[this.current].text.slice(2, 8) +
        ': ' + across + ' horizontal (a bar along the anchor cell\'s foot), ' +
        (places.length - across) + ' vertical (a bar down its right side). The dashed frame ' +
        'is where it was laid.';
    }

    showError(message) {
      const note = document.createElement('p');
      note.className = 'zarvo-error';
      note.textContent = message;
      this.boardCanvas.parentNode.insertBefore(note, this.boardCanvas);
    }

    // --- turns: thinking times, stand-in moves, standard error ----------------------------

    // zarvo-arena writes beside the page a record of the game's turns, "<page>.turns.js", a
    // script that calls zarvoTurnRecord(record): a page opened from disk may load a script
    // beside it, not fetch a file. A page without one (the referee run alone) stays as it is.
    loadTurnRecord() {
      const path = (root.location && root.location.pathname) || '';
      const file = path.substring(path.lastIndexOf('/') + 1);
      if (!/\.html?$/.test(file) || !document.head) return;
      root.zarvoTurnRecord = (record) => {
        try {
          this.applyTurnRecord(record);
        } catch (e) {
          this.showError('the record of the turns could not be read: ' + e.message);
        }
      };
      const script = document.createElement('script');
      script.src = file.replace(/\.html?$/, '.turns.js');
      document.head.appendChild(script);
    }

    // Per move: its player, the thinking time charged and what was left of the budget after it,
    // whether the referee played it in place of a disqualified player (a stand-in), the
    // disqualification it brought with its reason and the arena's note, and the lines the
    // player wrote to standard error during that turn. Records of older games lack some of it.
    applyTurnRecord(record) {
      const players = (record && Array.isArray(record.players)) ? record.players : [];
      const out = (record && Array.isArray(record.disqualifications)) ? record.disqualifications : [];
      const outAt = [0, 1].map((p) => out.find((d) => Number(d.player) === p + 1) || null);
      this.clock = record && record.clock && typeof record.clock === 'object' ? record.clock : null;
      this.turns = this.moves.map((move, i) => {
        const player = moverOf(i);
        if (player === 0) return null;
        const p = player - 1;
        const turn = player === 1 ? (i + 1) / 2 : i / 2;
        const entries = (players[p] && Array.isArray(players[p].turns)) ? players[p].turns : [];
        const entry = entries[turn - 1] || null;
        const dq = outAt[p];
        const standIn = dq !== null && i >= Number(dq.move);
        const disqualified = dq !== null && i === Number(dq.move) ? shownText(dq.message) : null;
        // The turn of the disqualification was the player's own, up to its end.
        const own = !standIn || disqualified !== null;
        const number = (value) => (own && entry && Number.isFinite(value) ? Number(value) : null);
        return {
          player,
          ms: number(entry && entry.ms),
          left: number(entry && entry.left_ms),
          standIn,
          disqualified,
          reason: disqualified !== null && typeof dq.reason === 'string' ? shownText(dq.reason) : 'out',
          note: disqualified !== null && Array.isArray(dq.note) ? dq.note.map(shownText) : [],
          stderr: own && entry && Array.isArray(entry.stderr) ? entry.stderr.map(shownText) : [],
          stderrCut: Boolean(own && entry && entry.stderr_cut),
        };
      });
      this.markMoveTable();
      this.buildTurnPanel();
      this.updateTurn();
    }

    // "of 10.00 s per game, +100 ms per move, at most 2.00 s per move" (under --clock cpu:
    // "of 10.00 s of CPU time per game")
    budgetText() {
      const c = this.clock;
      if (!c || !Number.isFinite(c.limit_ms)) return '';
      return 'of ' + formatMs(c.limit_ms) + (c.counts === 'cpu' ? ' of CPU time' : '') + ' per game' +
        (c.increment_ms > 0 ? ', +' + formatMs(c.increment_ms) + ' per move' : '') +
        (Number.isFinite(c.move_limit_ms) ? ', at most ' + formatMs(c.move_limit_ms) + ' per move' : '');
    }

    // The Time and Left columns go after the move text; a disqualification's note goes in a row
    // of its own under its move.
    markMoveTable() {
      const withLeft = this.turns.some((turn) => turn && turn.left !== null);
      const counted = this.clock && this.clock.counts === 'cpu' ? 'CPU time' : 'thinking time';
      const head = this.tableBox.querySelector('thead tr');
      const titles = [['Time', 'the thinking time charged for the move']];
      if (withLeft) {
        titles.push(['Left', 'the ' + counted + ' its player had left after the move, ' +
          this.budgetText()]);
      }
      titles.forEach(([text, explained], k) => {
        const title = document.createElement('th');
        title.textContent = text;
        title.title = explained;
        head.insertBefore(title, head.cells[3 + k]);
      });
      const columns = head.cells.length;
      this.rows.forEach((row, i) => {
        const turn = this.turns[i];
        const cell = row.insertCell(3);
        const left = withLeft ? row.insertCell(4) : null;
        if (!turn) return;
        if (left && turn.left !== null) left.textContent = formatMs(turn.left);
        if (turn.disqualified !== null) {
          row.classList.add('disqualified');
          row.title = 'Disqualified: ' + turn.disqualified + ' The referee played this move.';
          cell.textContent = turn.reason;
          if (turn.note.length > 0) this.addNoteRow(row, turn.note, columns, i);
        } else if (turn.standIn) {
          row.classList.add('stand-in');
          row.title = 'A stand-in move: the referee played it for the disqualified player.';
          cell.textContent = 'stand-in';
        } else if (turn.ms !== null) {
          cell.textContent = formatMs(turn.ms);
        }
      });
    }

    addNoteRow(row, lines, columns, moveIndex) {
      const note = document.createElement('tr');
      note.className = 'dq-note';
      const cell = document.createElement('td');
      cell.colSpan = columns;
      const text = document.createElement('pre');
      text.textContent = lines.join('\n');
      cell.appendChild(text);
      note.appendChild(cell);
      note.addEventListener('click', () => { this.pause(); this.show(moveIndex); });
      row.parentNode.insertBefore(note, row.nextSibling);
    }

    buildTurnPanel() {
      const panel = document.createElement('div');
      panel.id = 'turn-panel';
      this.turnText = document.createElement('p');
      this.turnText.id = 'turn-info';
      this.timeCanvas = document.createElement('canvas');
      this.timeCanvas.id = 'time-chart';
      this.timeChart = sizeCanvas(this.timeCanvas, this.boardWidth, TIME_CHART_HEIGHT);
      this.stderrBox = document.createElement('pre');
      this.stderrBox.id = 'turn-stderr';
      panel.appendChild(this.turnText);
      panel.appendChild(this.timeCanvas);
      panel.appendChild(this.stderrBox);
      const bar = this.slider.parentNode;
      bar.parentNode.insertBefore(panel, bar.nextSibling);
    }

    updateTurn() {
      if (!this.turns || !this.turnText) return;
      const turn = this.current >= 0 ? this.turns[this.current] : null;
      if (!turn) {
        this.turnText.textContent = 'Move 0: the start tile, laid by the referee.';
      } else {
        const who = 'Move ' + this.current + ' (' + this.playerLabel(turn.player) + ')';
        if (turn.disqualified !== null) {
          this.turnText.textContent = who + ': disqualified: ' + turn.disqualified +
            (turn.ms !== null ? ' It was charged ' + formatMs(turn.ms) + '.' : '') +
            ' The referee played this move and plays every later move of this seat' +
            ' (random legal stand-in moves).';
        } else if (turn.standIn) {
          this.turnText.textContent = who + ': a stand-in move, a random legal move the' +
            ' referee played for the disqualified player.';
        } else {
          const left = turn.left === null ? ''
            : ', ' + formatMs(turn.left) + ' left ' + this.budgetText();
          this.turnText.textContent = who + ': ' +
            (turn.ms !== null ? formatMs(turn.ms) + ' of thinking time' + left + '.'
              : 'no time recorded.');
        }
      }
      this.turnText.className = turn && turn.disqualified !== null ? 'disqualified'
        : turn && turn.standIn ? 'stand-in' : '';
      const lines = turn ? turn.stderr : [];
      this.stderrBox.textContent = lines.length === 0 ? ''
        : 'Standard error during this turn:\n' + lines.join('\n') +
          (turn.stderrCut ? '\n(more lines are in the error file)' : '');
      this.stderrBox.hidden = lines.length === 0;
      this.drawTimeChart();
    }

    // Bars of each move's thinking time, in the players' colours; stand-in moves as grey
    // ticks, the disqualification in red, the move shown outlined.
    drawTimeChart() {
      const g = this.timeChart;
      g.save();
      const width = this.boardWidth;
      const left = 44;
      const right = width - 12;
      const top = 18;
      const bottom = TIME_CHART_HEIGHT - 16;
      g.fillStyle = '#FFFFFF';
      g.fillRect(0, 0, width, TIME_CHART_HEIGHT);
      const count = this.moves.length;
      const times = this.turns.map((t) => (t && t.ms !== null ? t.ms : 0));
      const highest = Math.max(1, ...times);
      const step = count > 1 ? (right - left) / (count - 1) : 0;
      const barWidth = Math.max(1, Math.min(10, step * 0.8));
      drawAxes(g, left, top, right, bottom, formatMs(highest));
      g.textAlign = 'left';
      g.fillText('thinking time per move', left + 4, 8);
      this.turns.forEach((turn, i) => {
        if (!turn) return;
        const x = left + i * step - barWidth / 2;
        if (turn.disqualified !== null) {
          g.fillStyle = '#D00000';
          g.fillRect(x, top, barWidth, bottom - top);
          return;
        }
        if (turn.standIn) {
          g.fillStyle = '#BBBBBB';
          g.fillRect(x, bottom - 3, barWidth, 3);
          return;
        }
        const h = ((turn.ms || 0) * (bottom - top)) / highest;
        const colour = this.colours[turn.player - 1];
        g.fillStyle = isColour(colour) ? PALETTE[colour] : '#666';
        g.fillRect(x, bottom - h, barWidth, h);
        g.strokeStyle = '#333';
        g.strokeRect(x, bottom - h, barWidth, h);
      });
      if (this.current > 0) {
        g.strokeStyle = '#000';
        g.lineWidth = 2;
        g.strokeRect(left + this.current * step - barWidth / 2 - 2, top - 2, barWidth + 4,
          bottom - top + 4);
      }
      g.restore();
    }

    // --- move table ---------------------------------------------------------------------

    playerLabel(player) {
      return player === 0 ? 'start' : (this.names[player - 1] || 'Player ' + player);
    }

    buildMoveTable() {
      const table = document.createElement('table');
      table.className = 'moves';
      const head = table.createTHead().insertRow();
      const titles = [['#'], ['Player'], ['Move'],
        ['Gain', 'the points the move gained its player (a tile may also take points)'],
        ['Points', 'both players\' points after the move, player 1 first']];
      for (const [title, explained] of titles) {
        const cell = document.createElement('th');
        cell.textContent = title;
        if (explained) cell.title = explained;
        head.appendChild(cell);
      }
      const body = table.createTBody();
      this.rows = this.moves.map((move, i) => {
        const row = body.insertRow();
        const player = moverOf(i);
        row.className = 'player-' + player;
        row.insertCell().textContent = String(i);
        const who = row.insertCell();
        if (player > 0 && isColour(this.colours[player - 1])) {
          const swatch = document.createElement('span');
          swatch.className = 'swatch';
          swatch.style.backgroundColor = PALETTE[this.colours[player - 1]];
          who.appendChild(swatch);
        }
        who.appendChild(document.createTextNode(this.playerLabel(player)));
        row.insertCell().textContent = move.text;
        row.insertCell().textContent = player > 0 ? signed(this.gain(i, player - 1)) : '';
        row.insertCell().textContent = this.points[i].join(' - ');
        row.addEventListener('click', () => { this.pause(); this.show(i); });
        return row;
      });
      this.tableBox.appendChild(table);
    }

    updateMoveTable() {
      this.rows.forEach((row, i) => {
        const current = i === this.current;
        row.classList.toggle('current', current);
        if (current) row.setAttribute('aria-current', 'step');
        else row.removeAttribute('aria-current');
      });
      const row = this.rows[this.current];
      if (!row) return;
      // Scroll the table's own box only: scrollIntoView would also move the page. The header
      // row stays put (sticky), so the row must come out below it.
      const box = this.tableBox;
      const boxTop = box.getBoundingClientRect().top;
      const rect = row.getBoundingClientRect();
      const top = rect.top - boxTop + box.scrollTop;
      const bottom = rect.bottom - boxTop + box.scrollTop;
      const head = box.querySelector('thead');
      const headHeight = head ? head.getBoundingClientRect().height : 0;
      if (top - headHeight < box.scrollTop) box.scrollTop = top - headHeight;
      else if (bottom > box.scrollTop + box.clientHeight) box.scrollTop = bottom - box.clientHeight;
    }

    // --- board --------------------------------------------------------------------------

    // The pixel rectangle of a cell on canvas-1, in CSS pixels.
    cellRect(row, column) {
      return { x: MARGIN_LEFT + (column - 1) * CELL, y: MARGIN_TOP + (row - 1) * CELL, size: CELL };
    }

    // Every drawing starts from the same context state, so a redraw gives the same pixels.
    drawBoard() {
      this.board.save();
      this.paintBoard();
      this.board.restore();
    }

    paintBoard() {
      const g = this.board;
      const places = this.shownLegalPlaces();
      const position = places !== null ? this.positions[this.current - 1]
        : this.current >= 0 ? this.positions[this.current] : new Board();
      g.fillStyle = '#FFFFFF';
      g.fillRect(0, 0, this.boardWidth, this.boardHeight);

      g.font = 'bold 13px sans-serif';
      g.textAlign = 'center';
      g.textBaseline = 'middle';
      g.fillStyle = '#333';
      for (let c = 1; c <= COLUMNS; c++) {
        g.fillText(columnLetter(c), MARGIN_LEFT + (c - 0.5) * CELL, MARGIN_TOP / 2);
      }
      for (let r = 1; r <= ROWS; r++) {
        g.fillText(rowLetter(r), MARGIN_LEFT / 2, MARGIN_TOP + (r - 0.5) * CELL);
      }

      g.font = 'bold 14px sans-serif';
      for (let r = 1; r <= ROWS; r++) {
        for (let c = 1; c <= COLUMNS; c++) {
          const { x, y } = this.cellRect(r, c);
          const colour = position.colour(r, c);
          g.fillStyle = colour ? PALETTE[colour] : EMPTY_CELL;
          g.fillRect(x, y, CELL, CELL);
          if (colour) {
            g.fillStyle = DIGIT_INK[colour];
            g.fillText(String(colour), x + CELL / 2, y + CELL / 2 + 1);
          }
        }
      }
      this.drawGrid(position);
      this.drawTileEdges(position);
      if (places !== null) this.drawLegalPlaces(places);
      this.drawLastMove();
      for (let p = 0; p < 2; p++) {
        if (this.highlighted[p] && isColour(this.colours[p])) {
          this.drawSquares(scoringSquares(position, this.colours[p]), p);
        }
      }
    }

    drawGrid() {
      const g = this.board;
      g.strokeStyle = GRID_LINE;
      g.lineWidth = 1;
      g.beginPath();
      for (let r = 0; r <= ROWS; r++) {
        g.moveTo(MARGIN_LEFT, MARGIN_TOP + r * CELL + 0.5);
        g.lineTo(MARGIN_LEFT + COLUMNS * CELL, MARGIN_TOP + r * CELL + 0.5);
      }
      for (let c = 0; c <= COLUMNS; c++) {
        g.moveTo(MARGIN_LEFT + c * CELL + 0.5, MARGIN_TOP);
        g.lineTo(MARGIN_LEFT + c * CELL + 0.5, MARGIN_TOP + ROWS * CELL);
      }
      g.stroke();
    }

    // Outlines follow the visible part of each tile: an edge is drawn wherever the tile on
    // top changes, so a tile half hidden by a later one shows only what is left of it.
    drawTileEdges(position) {
      const g = this.board;
      const ownerAt = (r, c) =>
        (r < 1 || r > ROWS || c < 1 || c > COLUMNS) ? -1 : position.owner(r, c);
      g.strokeStyle = TILE_EDGE;
      g.lineWidth = 2;
      g.lineCap = 'square';
      g.beginPath();
      for (let r = 1; r <= ROWS + 1; r++) {
        for (let c = 1; c <= COLUMNS + 1; c++) {
          const here = ownerAt(r, c);
          const x = MARGIN_LEFT + (c - 1) * CELL;
          const y = MARGIN_TOP + (r - 1) * CELL;
          if (c <= COLUMNS && here !== ownerAt(r - 1, c)) { g.moveTo(x, y); g.lineTo(x + CELL, y); }
          if (r <= ROWS && here !== ownerAt(r, c - 1)) { g.moveTo(x, y); g.lineTo(x, y + CELL); }
        }
      }
      g.stroke();
    }

    // Each legal place as a bar in its anchor cell, clear of the digit in the middle: along the
    // cell's foot for a horizontal tile, down its right side for a vertical one; black on a white
    // rim, to show on every colour.
    drawLegalPlaces(places) {
      const g = this.board;
      for (const place of places) {
        const { x, y } = this.cellRect(place.row, place.column);
        const bar = place.horizontal ? [x + 3, y + CELL - 7, 16, 4] : [x + CELL - 7, y + 3, 4, 16];
        g.fillStyle = '#FFFFFF';
        g.fillRect(bar[0] - 1, bar[1] - 1, bar[2] + 2, bar[3] + 2);
        g.fillStyle = LEGAL_PLACE;
        g.fillRect(...bar);
      }
    }

    drawLastMove() {
      if (this.current < 0) return;
      const move = this.moves[this.current];
      const { x, y } = this.cellRect(move.row, move.column);
      const width = (move.horizontal ? TILE_LONG : 2) * CELL;
      const height = (move.horizontal ? 2 : TILE_LONG) * CELL;
      const g = this.board;
      g.lineWidth = 4;
      g.strokeStyle = '#FFFFFF';
      g.strokeRect(x + 1, y + 1, width - 2, height - 2);
      g.lineWidth = 2;
      g.strokeStyle = LAST_MOVE;
      g.setLineDash([6, 3]);
      g.strokeRect(x + 1, y + 1, width - 2, height - 2);
      g.setLineDash([]);
    }

    // Each scoring square as a frame through the centres of its four corner cells, with a
    // ring on every corner cell. Lines are drawn over a halo of the opposite ink so that they
    // show on every cell colour; player 1 draws solid black, player 2 dashed white.
    drawSquares(squares, player) {
      const g = this.board;
      const centre = (r, c) => {
        const { x, y } = this.cellRect(r, c);
        return [x + CELL / 2, y + CELL / 2];
      };
      const ink = player === 0 ? ['#000000', '#FFFFFF'] : ['#FFFFFF', '#000000'];
      const stroke = (tracePath) => {
        g.beginPath();
        tracePath();
        g.setLineDash([]);
        g.lineWidth = 5;
        g.strokeStyle = ink[1];
        g.stroke();
        g.setLineDash(PLAYER_DASH[player]);
        g.lineWidth = 2;
        g.strokeStyle = ink[0];
        g.stroke();
      };
      stroke(() => {
        for (const s of squares) {
          const [x0, y0] = centre(s.row, s.column);
          g.rect(x0, y0, s.size * CELL, s.size * CELL);
        }
      });
      stroke(() => {
        for (const s of squares) {
          for (const [dr, dc] of [[0, 0], [0, s.size], [s.size, 0], [s.size, s.size]]) {
            const [x, y] = centre(s.row + dr, s.column + dc);
            g.moveTo(x + CELL / 2 - 4, y);
            g.arc(x, y, CELL / 2 - 4, 0, 2 * Math.PI);
          }
        }
      });
      g.setLineDash([]);
    }

    // --- points chart -------------------------------------------------------------------

    drawChart() {
      this.chart.save();
      this.paintChart();
      this.chart.restore();
    }

    paintChart() {
      const g = this.chart;
      const width = this.boardWidth;
      const height = 190;
      const left = 44;
      const right = width - 12;
      const top = 26;
      const bottom = height - 26;
      g.fillStyle = '#FFFFFF';
      g.fillRect(0, 0, width, height);

      const count = this.points.length;
      const highest = Math.max(1, ...this.points.map((pair) => Math.max(pair[0], pair[1])));
      const xOf = (i) => left + (count > 1 ? (i * (right - left)) / (count - 1) : 0);
      const yOf = (value) => bottom - (value * (bottom - top)) / highest;

      drawAxes(g, left, top, right, bottom, String(highest));
      g.textAlign = 'center';
      g.textBaseline = 'top';
      g.fillText('move', (left + right) / 2, bottom + 10);
      if (count > 1) g.fillText(String(count - 1), right, bottom + 3);
      g.fillText('0', left, bottom + 3);

      if (this.current >= 0) {
        g.strokeStyle = '#BBBBBB';
        g.beginPath();
        g.moveTo(xOf(this.current), top);
        g.lineTo(xOf(this.current), bottom);
        g.stroke();
      }

      g.textAlign = 'left';
      g.textBaseline = 'middle';
      for (let p = 0; p < 2; p++) {
        const ink = isColour(this.colours[p]) ? PALETTE[this.colours[p]] : '#666';
        // A dark edge under each line keeps the light colours (yellow) visible on white.
        g.beginPath();
        this.points.forEach((pair, i) => {
          if (i === 0) g.moveTo(xOf(i), yOf(pair[p]));
          else g.lineTo(xOf(i), yOf(pair[p]));
        });
        g.setLineDash(PLAYER_DASH[p]);
        g.strokeStyle = '#333333';
        g.lineWidth = 4.5;
        g.stroke();
        g.strokeStyle = ink;
        g.lineWidth = 2.5;
        g.stroke();
        // Legend: the line style tells the players apart even where the colours do not.
        const legendX = left + 8 + p * 200;
        g.beginPath();
        g.moveTo(legendX, 11);
        g.lineTo(legendX + 28, 11);
        g.strokeStyle = '#333333';
        g.lineWidth = 4.5;
        g.stroke();
        g.strokeStyle = ink;
        g.lineWidth = 2.5;
        g.stroke();
        g.setLineDash([]);
        g.fillStyle = '#222';
        const name = this.names[p].length > 20 ? this.names[p].slice(0, 19) + '\u2026' : this.names[p];
        g.fillText('Player ' + (p + 1) + (name ? ' ' + name : ''), legendX + 34, 11);
        if (this.current >= 0) {
          g.fillStyle = ink;
          g.strokeStyle = '#333333';
          g.lineWidth = 1.5;
          g.beginPath();
          g.arc(xOf(this.current), yOf(this.points[this.current][p]), 4.5, 0, 2 * Math.PI);
          g.fill();
          g.stroke();
        }
      }
    }
  }

  Zarvo.PALETTE = PALETTE;
  Zarvo.rules = rules;

  if (typeof module !== 'undefined' && module.exports) {
    module.exports = { ...rules, PALETTE, Zarvo };
  } else {
    root.Zarvo = Zarvo;
  }
})(typeof window !== 'undefined' ? window : globalThis);
