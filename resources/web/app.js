// The browser remote's page: one WebSocket to the program that serves it. State arrives as
// "state" messages holding what changed, status texts as "text" messages; every button sends
// one command. While the link is down every control is disabled and the page keeps trying.
// A switch button shows the state the program reports (aria-pressed), never the one it asked
// for; the volume slider shows the level, muted or not, and sends only what the operator set.
"use strict";

const STATE_NAMES = ["Stopped", "Paused", "Playing", "Seeking"];
const MAX_TEXTS = 20;
// The server sends something at least every 2 s; silence longer than this is a dead link.
const SILENCE_MS = 6000;

const model = {
  a: { state: 0, name: "", duration: 0, position: 0, remaining: 0 },
  b: { state: 0, name: "", duration: 0, position: 0, remaining: 0 },
  active: "A", volume: 100, muted: false, fullscreen: false,
  repeatSingle: false, autoNext: true, loopList: false,
  playlist: [], marked: -1,
  sync: { role: "off", health: "" },
  transition: { kind: "cut", duration: 1000, progress: -1 },
  timecode: { source: "off", timecode: "", state: "lost", error: 0 },
};
let socket = null;
let lastHeard = 0;
let retryMs = 500;
let selectedRow = -1;
let volumeDragging = false;

const $ = (id) => document.getElementById(id);

// "%d:%02d:%02d" of a time in milliseconds; a countdown rounds up, so it shows 0 at the end.
function clock(ms, roundUp = false) {
  const s = Math.max(0, (roundUp ? Math.ceil : Math.floor)(ms / 1000));
  const two = (n) => String(n).padStart(2, "0");
  return `${Math.floor(s / 3600)}:${two(Math.floor(s / 60) % 60)}:${two(s % 60)}`;
}

function send(command) {
  if (socket && socket.readyState === WebSocket.OPEN)
    socket.send(JSON.stringify(command));
}

function setLink(text, cls) {
  const link = $("link");
  link.textContent = text;
  link.className = "link " + cls;
  const up = cls === "up";
  $("controls").disabled = !up;
  document.body.classList.toggle("offline", !up);
}

function renderPlayer(letter) {
  const p = model[letter.toLowerCase()];
  const panel = $("player-" + letter.toLowerCase());
  const field = (name) => panel.querySelector(`[data-field="${name}"]`);
  panel.classList.toggle("is-active", model.active === letter);
  panel.classList.toggle("playing", p.state === 2);
  panel.classList.toggle("paused", p.state === 1);
  field("state").textContent = STATE_NAMES[p.state] || "Stopped";
  field("name").textContent = p.name || "–";
  field("name").title = p.name || "";
  field("remaining").textContent = "-" + clock(p.remaining, true);
  field("position").textContent = clock(p.position);
  field("duration").textContent = clock(p.duration);
  const percent = p.duration > 0 ? Math.min(100, (100 * p.position) / p.duration) : 0;
  panel.querySelector(".fill").style.width = percent + "%";
  panel.querySelector(".bar").setAttribute("aria-valuenow", String(Math.round(percent)));
}

function renderSwitches() {
  for (const button of document.querySelectorAll("[data-switch]")) {
    const name = button.dataset.switch;
    button.setAttribute("aria-pressed", model[name] ? "true" : "false");
  }
  // Auto play next has no meaning while one track repeats, as in the program's menu.
  document.querySelector('[data-switch="autoNext"]').disabled = model.repeatSingle;
  const transition = model.transition;
  if (document.activeElement !== $("transition-kind"))
    $("transition-kind").value = transition.kind;
  if (document.activeElement !== $("transition-duration"))
    $("transition-duration").value = transition.duration;
  $("transition-progress").value = Math.max(0, transition.progress);
  $("transition-progress").hidden = transition.progress < 0;
  if (!volumeDragging) {
    $("volume").value = model.volume;
    $("volume-value").textContent = model.volume + " %" + (model.muted ? " (muted)" : "");
  }
}

function renderRows() {
  const list = $("rows");
  list.replaceChildren();
  model.playlist.forEach((row, i) => {
    const item = document.createElement("li");
    item.classList.toggle("marked", i === model.marked);
    const button = document.createElement("button");
    button.type = "button";
    button.dataset.row = String(i);
    button.setAttribute("aria-selected", i === selectedRow ? "true" : "false");
    if (i === model.marked)
      button.setAttribute("aria-current", "true");
    const nr = document.createElement("span");
    nr.className = "nr";
    nr.textContent = String(i + 1);
    const title = document.createElement("span");
    title.className = "title";
    title.textContent = row.name;
    const len = document.createElement("span");
    len.className = "len";
    len.textContent = row.length.trim();
    button.append(nr, title, len);
    item.append(button);
    list.append(item);
  });
  const can = selectedRow >= 0 && selectedRow < model.playlist.length;
  $("open-a").disabled = !can;
  $("open-b").disabled = !can;
}

function selectRow(i) {
  selectedRow = i;
  renderRows();
  const button = $("rows").querySelector(`[data-row="${i}"]`);
  if (button)
    button.focus();
}

function addText(player, text) {
  const list = $("texts");
  const item = document.createElement("li");
  const who = document.createElement("span");
  who.className = "who";
  who.textContent = player;
  item.append(who, document.createTextNode(text));
  list.prepend(item);
  while (list.children.length > MAX_TEXTS)
    list.lastElementChild.remove();
}

// A follower's health and clock offset, or a leader's followers with theirs.
function renderSync() {
  const sync = model.sync;
  $("sync").hidden = sync.role === "off";
  let text = `${sync.role}: ${sync.health}`;
  if (sync.role === "follower")
    text += `, clock offset ${sync.offsetMs.toFixed(1)} ms` +
      (sync.lostSince ? `, lost since ${sync.lostSince}` : "");
  $("sync-state").textContent = text;
  const list = $("followers");
  list.replaceChildren(...(sync.followers || []).map((f) => {
    const item = document.createElement("li");
    item.textContent = `${f.address}: ${f.health}` +
      (f.lostSince ? ` since ${f.lostSince}` : `, offset ${f.offsetMs.toFixed(1)} ms`);
    return item;
  }));
}

function onState(message) {
  let rows = false;
  for (const [key, value] of Object.entries(message)) {
    if (key === "a" || key === "b")
      Object.assign(model[key], value);
    else if (key in model) {
      model[key] = value;
      rows = rows || key === "playlist" || key === "marked";
    }
  }
  if (rows) {
    if (selectedRow >= model.playlist.length)
      selectedRow = -1;
    renderRows();
  }
  renderPlayer("A");
  renderPlayer("B");
  renderSwitches();
  if ("sync" in message)
    renderSync();
  renderTimecode();
}

// Shown only where the program chases a timecode.
function renderTimecode() {
  const t = model.timecode;
  $("timecode").hidden = t.source === "off";
  $("timecode").textContent = "Timecode (" + t.source + "): " + (t.timecode || "--:--:--:--") +
    " " + t.state + (t.state === "locked" ? ", " + t.error + " frames off" : "");
}

function connect() {
  setLink(socket ? "Link lost – reconnecting…" : "Connecting…", "waiting");
  const url = (location.protocol === "https:" ? "wss://" : "ws://") + location.host + "/ws";
  const ws = new WebSocket(url);
  socket = ws;
  ws.onopen = () => {
    retryMs = 500;
    lastHeard = Date.now();
    setLink("Connected", "up");
  };
  ws.onmessage = (event) => {
    lastHeard = Date.now();
    let message;
    try {
      message = JSON.parse(event.data);
    } catch (e) {
      return;
    }
    if (message.type === "state")
      onState(message);
    else if (message.type === "text")
      addText(message.player, message.text);
  };
  ws.onclose = (event) => {
    if (socket !== ws)
      return;
    if (event.code === 4001) {
      location.href = "/login";
      return;
    }
    setLink(event.code === 4003 ? "Refused: " + event.reason : "Link lost – reconnecting…",
            "down");
    setTimeout(connect, retryMs);
    retryMs = Math.min(retryMs * 2, 5000);
  };
}

function watchLink() {
  if (socket && socket.readyState === WebSocket.OPEN && Date.now() - lastHeard > SILENCE_MS)
    socket.close();
}

function onClick(event) {
  const button = event.target.closest("button");
  if (!button || button.disabled)
    return;
  if (button.dataset.action) {
    const command = { action: button.dataset.action };
    if (button.dataset.player)
      command.player = button.dataset.player;
    send(command);
  } else if (button.dataset.switch) {
    // The state's name and the command's differ for the mute ("muted" / "mute").
    send({ action: button.dataset.command || button.dataset.switch,
           on: button.getAttribute("aria-pressed") !== "true" });
  } else if (button.dataset.open) {
    if (selectedRow >= 0)
      send({ action: "open", player: button.dataset.open, row: selectedRow + 1 });
  } else if (button.dataset.row) {
    selectRow(Number(button.dataset.row));
  }
}

// Up and down move the selection in the playlist, as in any list.
function onRowKey(event) {
  if (event.key !== "ArrowDown" && event.key !== "ArrowUp")
    return;
  event.preventDefault();
  const step = event.key === "ArrowDown" ? 1 : -1;
  const i = Math.max(0, Math.min(model.playlist.length - 1, selectedRow + step));
  if (model.playlist.length)
    selectRow(i);
}

let volumeTimer = 0;
let volumeWanted = null;
function onVolume() {
  volumeDragging = true;
  // The value the operator set now: a state message may move the slider before the timer runs.
  volumeWanted = Number($("volume").value);
  $("volume-value").textContent = volumeWanted + " %";
  // At most ten commands a second while the slider moves.
  if (!volumeTimer)
    volumeTimer = setTimeout(() => {
      volumeTimer = 0;
      if (volumeWanted !== null)
        send({ action: "volume", value: volumeWanted });
    }, 100);
}

// The kind and the length go together, as OSC's /tessaro/transition takes them.
function onTransition() {
  const duration = Math.round(Number($("transition-duration").value));
  const command = { action: "transition", kind: $("transition-kind").value };
  if (Number.isFinite(duration) && duration >= 0 && duration <= 10000)
    command.duration = duration;
  send(command);
}

function onVolumeSet() {
  volumeDragging = false;
  if (volumeWanted !== null && volumeWanted !== model.volume)
    send({ action: "volume", value: volumeWanted });
  volumeWanted = null;
  clearTimeout(volumeTimer);
  volumeTimer = 0;
}

document.addEventListener("DOMContentLoaded", () => {
  document.addEventListener("click", onClick);
  $("rows").addEventListener("keydown", onRowKey);
  $("volume").addEventListener("input", onVolume);
  $("volume").addEventListener("change", onVolumeSet);
  $("transition-kind").addEventListener("change", onTransition);
  $("transition-duration").addEventListener("change", onTransition);
  renderPlayer("A");
  renderPlayer("B");
  renderSwitches();
  renderRows();
  connect();
  setInterval(watchLink, 1000);
});
