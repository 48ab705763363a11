// One event stream for every tab of the page in a browser: a shared worker holds the one
// EventSource and hands each event to every tab, the ones that come later too (it keeps the
// newest), so that tabs never use up the browser's connections to the server.
'use strict';

const ports = new Set();
const kept = [];          // the newest messages, for tabs that open later
const keepAtMost = 3000;
let state = 'connecting';

function tell(message) {
  for (const port of ports) port.postMessage(message);
}

// The page hands its token in the worker's address; the stream asks with it.
const stream = new EventSource(`/api/events${self.location.search}`);
stream.onopen = () => {
  state = 'live';
  tell({ state });
};
stream.onerror = () => {
  state = 'lost';
  tell({ state });
};
stream.onmessage = (message) => {
  const event = { data: message.data, id: Number(message.lastEventId) };
  kept.push(event);
  if (kept.length > keepAtMost) kept.shift();
  tell(event);
};

onconnect = (connection) => {
  const port = connection.ports[0];
  ports.add(port);
  port.onmessage = (message) => {
    if (message.data === 'closing') ports.delete(port);
  };
  port.postMessage({ state, history: kept });
};
