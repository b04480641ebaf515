// The sign service's web page: the signs with their health and what they
// show, and forms that send a text, a picture or a list, or set a clock.
"use strict";

const $ = (id) => document.getElementById(id);
let token = localStorage.getItem("marquee-token") || "";
let signs = [];

function api(path, options = {}) {
  options.headers = Object.assign({}, options.headers || {});
  if (token) options.headers["Authorization"] = "Bearer " + token;
  return fetch(path, options).then((response) => {
    if (response.status === 401) $("token-box").hidden = false;
    return response;
  });
}

function signPath(name, rest) {
  return "/api/signs/" + encodeURIComponent(name) + "/" + rest;
}

function say(text, good) {
  const result = $("result");
  result.textContent = text;
  result.className = good ? "good" : "bad";
}

// A command's answer as one line or two.
async function report(response) {
  let answer = {};
  try { answer = await response.json(); } catch (e) { answer = { reason: "no answer" }; }
  const status = (answer.status || []).join(" · ");
  if (response.ok && answer.ok) {
    say((answer.outcome || "done") + (status ? "\n" + status : ""), true);
  } else {
    say("HTTP " + response.status + ": " + (answer.reason || answer.outcome || "failed") +
        (status ? "\n" + status : ""), false);
  }
  refresh();
}

function zoomFor(sign, element) {
  const room = Math.max(64, (element.clientWidth || 300) * (window.devicePixelRatio || 1));
  return Math.max(1, Math.min(sign.maxZoom || 1, Math.floor(room / sign.width)));
}

async function showImage(img, response) {
  if (!response.ok) return false;
  const blob = await response.blob();
  const old = img.src;
  img.src = URL.createObjectURL(blob);
  if (old && old.startsWith("blob:")) URL.revokeObjectURL(old);
  return true;
}

function when(iso) {
  return iso ? new Date(iso).toLocaleString() : "never";
}

function signCard(sign) {
  const card = document.createElement("article");
  card.className = "sign";
  card.dataset.name = sign.name;
  const health = sign.health || {};
  const state = health.state || "starting";
  const title = document.createElement("h2");
  const name = document.createElement("span");
  name.textContent = sign.name;
  const badge = document.createElement("span");
  badge.className = "state " + state;
  badge.textContent = state + (health.busy ? " (busy)" : "");
  title.append(name, badge);
  const view = document.createElement("img");
  view.className = "view";
  view.alt = "what " + sign.name + " shows";
  const facts = document.createElement("p");
  facts.className = "facts";
  facts.textContent = sign.width + " × " + sign.height + " · " + (health.list || sign.list || "no list") +
      " · last success " + when(health.lastSuccess) +
      (health.lastFailure ? " · last failure " + when(health.lastFailure) : "") +
      (health.reason && state !== "ok" ? ": " + health.reason : "");
  card.append(title, view, facts);
  return card;
}

function fillSelect(select) {
  const chosen = select.value;
  select.replaceChildren(...signs.map((sign) => new Option(sign.name, sign.name)));
  if (signs.some((sign) => sign.name === chosen)) select.value = chosen;
}

async function refresh() {
  const response = await api("/api/signs");
  if (!response.ok) return;
  signs = (await response.json()).signs;
  const box = $("signs");
  box.replaceChildren(...signs.map(signCard));
  for (const select of [$("text-sign"), $("upload-sign"), $("time-sign")]) fillSelect(select);
  for (const sign of signs) {
    const img = box.querySelector('[data-name="' + CSS.escape(sign.name) + '"] .view');
    const page = 1;
    api(signPath(sign.name, "preview.png?page=" + page + "&zoom=" + zoomFor(sign, box.firstChild)))
        .then((r) => showImage(img, r));
  }
}

function textBody() {
  const body = {
    text: $("text").value,
    layout: $("layout").value,
    colour: $("colour").value,
    size: Number($("size").value) || 16,
  };
  if ($("for").value) body["for"] = Number($("for").value);
  return body;
}

async function previewText() {
  const name = $("text-sign").value;
  const sign = signs.find((s) => s.name === name);
  if (!sign || !$("text").value.trim()) return;
  const zoom = zoomFor(sign, $("send-box"));
  const response = await api(signPath(name, "text/preview.png?zoom=" + zoom), {
    method: "POST",
    headers: { "Content-Type": "application/json" },
    body: JSON.stringify(textBody()),
  });
  if (!(await showImage($("text-preview"), response))) {
    const answer = await response.json().catch(() => ({}));
    say("cannot compose: " + (answer.reason || response.status), false);
  }
}

$("text-show").addEventListener("click", previewText);
$("text-form").addEventListener("submit", async (event) => {
  event.preventDefault();
  await previewText();
  say("sending…", true);
  $("text-send").disabled = true;
  try {
    await report(await api(signPath($("text-sign").value, "text"), {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify(textBody()),
    }));
  } finally {
    $("text-send").disabled = false;
  }
});

$("upload-form").addEventListener("submit", async (event) => {
  event.preventDefault();
  const form = new FormData();
  for (const file of $("files").files) form.append("file", file, file.name);
  say("uploading…", true);
  await report(await api(signPath($("upload-sign").value, "list"), { method: "POST", body: form }));
});

$("time-form").addEventListener("submit", async (event) => {
  event.preventDefault();
  say("setting the clock…", true);
  await report(await api(signPath($("time-sign").value, "time"), { method: "POST" }));
});

$("token-save").addEventListener("click", () => {
  token = $("token").value.trim();
  localStorage.setItem("marquee-token", token);
  $("token-box").hidden = true;
  refresh();
});

setInterval(() => { $("clock").textContent = new Date().toLocaleTimeString(); }, 1000);
setInterval(refresh, 5000);
refresh();
