// One tile per unit. The page arrives with the tiles as they were when it was
// made (first paint without waiting for the feed); this script adopts them.
// The server's event feed says when anything changed; a tile fetches its
// picture only when the picture's tag changed, so unchanged pictures are
// never downloaded again.
"use strict";

const tiles = new Map();
let clockOffset = 0;  // server clock minus this browser's clock, in ms
const healthLabels = {
  ok: "正常",
  waiting: "画像待ち",
  unreadable: "読み込み不可",
  frozen: "静止画のまま（同じ画像が続いています）",
  stale: "更新停止（新しい画像が届いていません）",
};

function tileFor(unit) {
  let t = tiles.get(unit.unit);
  if (t) return t;
  let root = document.getElementById("unit-" + unit.unit);
  const made = root !== null;
  if (!made) {
    root = document.createElement("section");
    root.className = "tile";
    root.id = "unit-" + unit.unit;
    root.innerHTML =
      '<div class="frame"><img alt=""><div class="note"></div></div>' +
      '<div class="caption"><span class="number"></span><span class="text"></span><span class="age"></span><span class="health"></span><span class="error"></span></div>';
  }
  t = {
    root,
    img: root.querySelector("img"),
    note: root.querySelector(".note"),
    text: root.querySelector(".text"),
    age: root.querySelector(".age"),
    health: root.querySelector(".health"),
    error: root.querySelector(".error"),
    tag: null,
    changedMs: 0,
  };
  root.querySelector(".number").textContent = unit.unit + "号機";
  t.img.alt = unit.unit + "号機の最新画像";
  t.img.addEventListener("load", () => { root.dataset.shown = t.img.dataset.tag; });
  t.img.addEventListener("error", () => { root.dataset.shown = ""; });
  if (made) {
    // Already showing (or loading) the picture the page came with.
    t.tag = t.img.dataset.tag || null;
    t.changedMs = Number(root.dataset.changed) || 0;
    if (t.tag && t.img.complete && t.img.naturalWidth > 0) root.dataset.shown = t.tag;
  } else {
    document.getElementById("units").append(root);
  }
  tiles.set(unit.unit, t);
  return t;
}

function render(feed) {
  clockOffset = feed.now - Date.now();
  for (const unit of feed.units) {
    const t = tileFor(unit);
    const p = unit.picture;
    t.text.textContent = unit.text;
    t.changedMs = unit.changedMs;
    t.health.textContent = healthLabels[unit.health] || "";
    t.root.dataset.health = unit.health;
    t.error.textContent = unit.lastError
      ? "最後のエラー: " + unit.lastError.text + "（" + new Date(unit.lastError.at).toLocaleString("ja-JP") + "）" : "";
    t.root.classList.toggle("unreadable", !unit.readable);
    t.note.textContent = !unit.readable ? "読み込めません（" + (unit.problem || "") + "）"
                       : !p ? "画像はまだありません"
                       : !p.jpeg ? "この画像は表示できません" : "";
    const tag = p && p.jpeg ? p.etag : null;
    if (tag !== t.tag) {
      t.tag = tag;
      if (tag) {
        t.img.dataset.tag = tag;
        t.img.src = "/units/" + unit.unit + "/latest.jpg?v=" + encodeURIComponent(tag.replace(/"/g, ""));
      } else {
        t.img.removeAttribute("src");
      }
    }
  }
  showAges();
}

function showAges() {
  const now = Date.now() + clockOffset;
  for (const t of tiles.values()) {
    if (!t.tag || !t.changedMs) { t.age.textContent = ""; continue; }
    const s = Math.max(0, Math.round((now - t.changedMs) / 1000));
    t.age.textContent = s < 60 ? s + "秒前" : s < 3600 ? Math.floor(s / 60) + "分前" : Math.floor(s / 3600) + "時間前";
  }
}

function connect() {
  const link = document.getElementById("link");
  const feed = new EventSource("/events");
  feed.addEventListener("units", (e) => {
    link.textContent = "接続中（新しい画像は自動で表示されます）";
    link.classList.remove("lost");
    render(JSON.parse(e.data));
  });
  feed.addEventListener("error", () => {
    link.textContent = "サーバーとの接続が切れました。再接続しています…";
    link.classList.add("lost");
  });
}

for (const root of document.querySelectorAll(".tile")) {
  tileFor({unit: Number(root.id.slice("unit-".length))});
}
connect();
setInterval(showAges, 1000);
