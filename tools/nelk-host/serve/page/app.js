// The page of nelk-host serve: draws every instance's panel from the host's state, sends what the
// user does as scenario statements, and shows the transcript live. It uses the API of
// docs/serve.md and nothing else.
'use strict';

const instancesView = document.getElementById('instances');
const transcriptView = document.getElementById('transcript');
const statusView = document.getElementById('status');
const errorsView = document.getElementById('errors');
const slotsView = document.querySelector('#slots tbody');
const recoveryView = document.getElementById('recovery');
const instanceTemplate = document.getElementById('instance-template');

const statements = new Map();  // where ("request-3:1") -> the statement's text
let runningStatement = null;   // the statement whose events come in now
let following = true;          // the transcript keeps its newest line in view until scrolled up
const cards = new Map();       // instance name -> its card
let refreshing = null;
// Ready (the page's data-ready="true", which a screenshot tool or a test waits for): the first
// state is drawn and the stream has brought every event the server had when it gave that state.
let eventsWanted = null;       // the server's newest event when the first state came
let eventsSeen = 0;            // the newest event received
let streamLive = false;
const still = new URLSearchParams(location.search).has('still');  // a still picture: no stream

// The session's token: it comes in the address's fragment (which no request carries), and is kept
// in this tab's session storage, which belongs to this origin, port included; the address loses
// it. No cookie: a browser sends 127.0.0.1's cookies to every port there.
const token = (() => {
  const given = new URLSearchParams(location.hash.slice(1)).get('token');
  if (given) {
    sessionStorage.setItem('nelk-token', given);
    history.replaceState(null, '', location.pathname + location.search);
  }
  return sessionStorage.getItem('nelk-token') || '';
})();
const withToken = (path) => (token ? `${path}${path.includes('?') ? '&' : '?'}token=${encodeURIComponent(token)}` : path);

// A request of the API, with the token.
function api(path, options = {}) {
  return fetch(path, { ...options, headers: { ...(options.headers || {}), 'X-Nelk-Token': token } });
}

// Runs statements as a scenario's lines, typed (a text) or as words that the server writes
// into a statement with the scenario language's own writer (an array); resolves to {ok, events}.
async function run(statement) {
  const words = Array.isArray(statement);
  const response = await api('/api/statements', {
    method: 'POST',
    headers: { 'Content-Type': words ? 'application/json' : 'text/plain; charset=utf-8' },
    body: words ? JSON.stringify({ words: statement.map(String) }) : statement,
  });
  const result = await response.json();
  if (!response.ok) throw new Error(result.error || response.statusText);
  return result;
}

// The session was cut short by a component (a crash or a hang): it came back by replay; the user
// may replay it again or start empty.
function drawRecovery(recovery) {
  recoveryView.hidden = !recovery;
  if (!recovery) return;
  document.getElementById('recovery-text').textContent =
    `${recovery.where}: ${recovery.message}. The session was replayed up to just before it.`;
}

async function recover(how) {
  const response = await api('/api/recover', { method: 'POST', body: how });
  if (!response.ok) throw new Error((await response.json()).error || response.statusText);
  refreshSoon();
}

// A text with a place to break after every "/", so that a long path wraps at its folders.
function breakable(text) {
  const made = document.createDocumentFragment();
  String(text).split(/(?<=\/)/).forEach((piece, index) => {
    if (index) made.append(document.createElement('wbr'));
    made.append(piece);
  });
  return made;
}

function element(tag, className, text) {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (text !== undefined) made.textContent = text;
  return made;
}

function colourOf(value) {
  return value && CSS.supports('color', value) ? value : null;
}

// One control as an operator sees it; a click or an entry sends what the host would.
function controlElement(instance, control) {
  const properties = control.properties || {};
  const shown = properties.text !== undefined ? properties.text : '';
  const type = control.type || 'label';
  let made;
  if (type === 'button') {
    made = element('button', 'control button', shown || control.id);
    made.type = 'button';
    made.addEventListener('click', () => {
      const command = control.command ? [control.command] : [];
      run(['control', instance.name, control.id, ...command]).catch(report);
    });
    const colour = colourOf(properties.colour);
    if (colour) made.style.background = colour;
  } else if (type === 'alarm') {
    made = element('div', 'control alarm');
    made.append(element('span', 'alarm-text', shown || control.id));
    made.append(element('span', 'alarm-state', `alarm ${properties.alarm ?? '–'} · value ${properties.value ?? '–'}`));
    made.dataset.value = properties.value ?? '';
  } else if (type === 'text') {
    made = element('div', 'control text');
    const input = element('input');
    input.value = shown;
    input.setAttribute('aria-label', control.id);
    input.addEventListener('keydown', (event) => {
      if (event.key !== 'Enter') return;
      run(['control', instance.name, control.id, 'text=' + input.value]).catch(report);
    });
    made.append(input);
  } else if (type === 'label') {
    // An empty label shows its id as a placeholder, marked as such, never as if it were its text.
    made = element('div', 'control label' + (shown ? '' : ' empty'), shown || `${control.id} (empty)`);
    const colour = colourOf(properties.colour);
    if (colour) made.style.color = colour;
  } else {
    made = element('div', 'control other');
    made.append(element('strong', '', control.id), element('span', '', type));
  }
  made.dataset.instance = instance.name;
  made.dataset.controlId = control.id;
  made.title = `${control.id} (${type})\n` + Object.entries(properties).map(([name, value]) => `${name}=${value}`).join('\n');
  return made;
}

function drawPanel(view, instance) {
  view.textContent = '';
  const flow = element('div', 'flow');
  let right = 0;
  let bottom = 0;
  for (const control of instance.controls) {
    const drawn = controlElement(instance, control);
    const place = control.geometry;
    if (place) {
      drawn.classList.add('placed');
      drawn.style.left = place.x + 'px';
      drawn.style.top = place.y + 'px';
      if (place.width) drawn.style.width = place.width + 'px';
      if (place.height) drawn.style.height = place.height + 'px';
      if (place.height >= 40 && drawn.classList.contains('label')) drawn.classList.add('large');  // a display, not a caption
      right = Math.max(right, place.x + (place.width || 120));
      bottom = Math.max(bottom, place.y + (place.height || 32));
      view.append(drawn);
    } else {
      flow.append(drawn);
    }
  }
  view.style.width = (instance.panel.width || right || '') + (instance.panel.width || right ? 'px' : '');
  view.style.height = (instance.panel.height || bottom || '') + (instance.panel.height || bottom ? 'px' : '');
  if (flow.childElementCount) {
    if (bottom) {
      // The flowing controls go below the placed ones; a declared height stays as declared.
      flow.style.position = 'absolute';
      flow.style.top = bottom + 8 + 'px';
      if (!instance.panel.height) view.style.height = '';
    }
    view.append(flow);
  }
  if (!instance.controls.length) view.append(element('div', 'control label empty', 'no layout shown'));
}

function cardFor(instance) {
  let card = cards.get(instance.name);
  if (card) return card;
  card = instanceTemplate.content.firstElementChild.cloneNode(true);
  card.dataset.instance = instance.name;
  const name = () => instance.name;
  const on = (selector, handler) => card.querySelector(selector).addEventListener('submit', (event) => {
    event.preventDefault();
    handler(new FormData(event.target));
  });
  on('.command-form', async (form) => {
    const answerView = card.querySelector('.answer');
    try {
      const result = await run(['command', name(), form.get('text')]);
      const answer = result.events.filter((event) => event.event === 'answer').pop();
      answerView.textContent = answer ? '→ ' + (answer.answer === null ? 'null' : JSON.stringify(answer.answer)) : '';
    } catch (failure) {
      report(failure);
    }
  });
  on('.slot-form', (form) => run(['slot', Number(form.get('driver')), Number(form.get('slot')), form.get('text')]).catch(report));
  on('.timer-form', (form) => run(['timer', name(), Number(form.get('id'))]).catch(report));
  on('.number-form', (form) => run(['number', name(), Number(form.get('value'))]).catch(report));
  on('.data-form', (form) => run(['data', name(), form.get('text')]).catch(report));
  card.querySelector('.delete').addEventListener('click', () => run(['delete', name()]).catch(report));
  card.querySelector('.reload').addEventListener('click', () => run(['reload', name()]).catch(report));
  cards.set(instance.name, card);
  instancesView.append(card);
  return card;
}

function draw(state) {
  const live = state.instances.filter((instance) => instance.phase !== 'gone');
  for (const [name, card] of cards) {
    if (!live.some((instance) => instance.name === name)) {
      card.remove();
      cards.delete(name);
    }
  }
  for (const instance of live) {
    const card = cardFor(instance);
    card.dataset.phase = instance.phase;
    card.querySelector('.instance-name').textContent = instance.name;
    card.querySelector('.instance-library').textContent = instance.library.split(/[\\/]/).pop();
    card.querySelector('.instance-library').title = instance.library;
    card.querySelector('.instance-phase').textContent = instance.phase + (instance.timers.length
      ? ' · timers ' + instance.timers.map((timer) => timer.interval
        ? `${timer.id} every ${timer.interval} ms` + (timer.repeat ? '' : ' (once)') : String(timer.id)).join(', ')
      : '');
    card.querySelector('.panel-title').textContent = instance.panel.title || instance.panel.file || 'no panel';
    drawPanel(card.querySelector('.panel'), instance);
    const slotForm = card.querySelector('.slot-form');
    const registered = instance.registrations.find((entry) => entry.driver > 0);
    if (registered && !slotForm.driver.value) {
      slotForm.driver.value = registered.driver;
      slotForm.slot.value = registered.first;
    }
  }
  slotsView.textContent = '';
  for (const slot of state.slots) {
    const row = element('tr');
    row.append(element('td', '', slot.driver), element('td', '', slot.slot), element('td', '', slot.text));
    slotsView.append(row);
  }
  if (state.clock) {
    document.getElementById('clock-time').textContent = (state.clock.ms / 1000).toFixed(3) + ' s';
    const toggle = document.getElementById('clock-toggle');
    toggle.textContent = state.clock.running ? 'Pause' : 'Run';
    toggle.dataset.running = state.clock.running ? 'yes' : 'no';
    const speed = document.getElementById('clock-speed');
    if (document.activeElement !== speed) speed.value = String(state.clock.speed);
  }
  errorsView.textContent = `${state.protocolErrors} protocol error${state.protocolErrors === 1 ? '' : 's'}`;
  errorsView.classList.toggle('some', state.protocolErrors > 0);
  drawRecovery(state.recovery);
}

function markReady() {
  if (eventsWanted !== null && eventsSeen >= eventsWanted && streamLive) document.documentElement.dataset.ready = 'true';
}

async function refresh() {
  refreshing = null;
  const response = await api('/api/state');
  if (response.status === 403) {
    statusView.textContent = 'no token: open the address nelk-host printed';
    statusView.dataset.state = 'lost';
    return;
  }
  const state = await response.json();
  draw(state);
  if (eventsWanted === null) eventsWanted = state.events || 0;
  markReady();
}

// The still picture: the state and the kept transcript read before the page has loaded (so that
// a screenshot taken at its load shows them), drawn once, and no stream.
function drawStill() {
  const view = new URLSearchParams(location.search).get('view');
  const read = (path) => {
    const request = new XMLHttpRequest();
    request.open('GET', view ? `${path}?view=${encodeURIComponent(view)}` : path, false);
    request.send();
    if (request.status !== 200) throw new Error(`${path}: ${request.status} ${request.statusText}`);
    return JSON.parse(request.responseText);
  };
  read('/api/transcript').forEach((event) => received(JSON.stringify(event)));
  draw(read('/api/state'));
  statusView.textContent = 'still';
  statusView.dataset.state = 'still';
  document.getElementById('transcript-mode').textContent = 'still';
  // Scrolled once, after the panels are drawn and the layout is final: its newest lines in view.
  transcriptView.scrollTop = transcriptView.scrollHeight;
  document.documentElement.dataset.ready = 'true';
}

function refreshSoon() {
  if (!refreshing) refreshing = setTimeout(() => refresh().catch(report), 15);
}

function show(event) {
  if (event.event === 'statement') {
    statements.set(event.where, event.text);
    runningStatement = event.text;
  }
  // The line as the transcript prints it, rendered by the server (readable).
  const shown = event.readable || { tag: event.event, who: '', text: '' };
  const line = element('li', event.event);
  line.append(element('span', 'tag', shown.tag));
  line.append(element('span', 'who', shown.who));
  const what = shown.text;
  const text = element('span', 'what');
  text.append(breakable(what));
  // An error names the statement that caused it: its own, or the one running when it came.
  const cause = statements.get(event.where) || runningStatement;
  if (event.event === 'error' && cause) {
    const from = element('span', 'cause');
    from.append(breakable('from the statement: ' + cause));
    text.append(from);
  }
  line.append(text);
  transcriptView.append(line);
  while (transcriptView.childElementCount > 3000) transcriptView.firstElementChild.remove();
  if (following) transcriptView.scrollTop = transcriptView.scrollHeight;
}

transcriptView.addEventListener('scroll', () => {
  following = transcriptView.scrollTop + transcriptView.clientHeight >= transcriptView.scrollHeight - 8;
});

function report(failure) {
  show({ event: 'error', where: 'page', text: String(failure.message || failure) });
}

document.getElementById('statement-form').addEventListener('submit', (event) => {
  event.preventDefault();
  const input = document.getElementById('statement');
  const text = input.value.trim();
  if (text) run(text).then(() => { input.value = ''; }).catch(report);
});

document.getElementById('save').addEventListener('click', () => {
  const link = element('a');
  link.href = withToken('/api/scenario');
  link.download = 'session.nelk';
  document.body.append(link);
  link.click();
  link.remove();
});

// The host's clock: its timers fire as it runs; paused, a step moves it to the next timer.
document.getElementById('clock-toggle').addEventListener('click', (event) => {
  run(event.target.dataset.running === 'no' ? 'clock run' : 'clock pause').catch(report);
});
document.getElementById('clock-step').addEventListener('click', () => run('advance next').catch(report));
document.getElementById('clock-speed').addEventListener('change', (event) => {
  run(`clock speed ${Number(event.target.value)}`).catch(report);
});

document.getElementById('recover-replay').addEventListener('click', () => recover('replay').catch(report));
document.getElementById('recover-empty').addEventListener('click', () => recover('empty').catch(report));

function streamState(state) {
  statusView.textContent = state === 'live' ? 'live' : state === 'lost' ? 'reconnecting…' : 'connecting…';
  statusView.dataset.state = state;
  streamLive = state === 'live';
  markReady();
}

// The server hands the panels in the stream as they change ("state"); everything else is a
// line of the transcript. `id`: the event's number in the stream.
function received(data, id) {
  const event = JSON.parse(data);
  if (event.event === 'state') draw(event.state);
  else show(event);
  if (id > eventsSeen) eventsSeen = id;
}

// One stream for all the tabs of this browser (a shared worker), or one of its own where there is
// no shared worker.
if (still) {
  try {
    drawStill();
  } catch (failure) {
    report(failure);
  }
} else if (window.SharedWorker) {
  const worker = new SharedWorker(withToken('/events_worker.js'));
  worker.port.onmessage = (message) => {
    if (message.data.history) message.data.history.forEach((each) => received(each.data, each.id));
    if (message.data.data) received(message.data.data, message.data.id);
    if (message.data.state) streamState(message.data.state);
    markReady();
  };
  worker.port.start();
  window.addEventListener('pagehide', () => worker.port.postMessage('closing'));
} else {
  const stream = new EventSource(withToken('/api/events'));
  stream.onopen = () => streamState('live');
  stream.onerror = () => streamState('lost');
  stream.onmessage = (message) => {
    received(message.data, Number(message.lastEventId));
    markReady();
  };
}

if (!still) refresh().catch(report);
