// SPDX-License-Identifier: MIT
// The studio's page: an editor for a filter file, eight sliders, and a
// preview that the server renders exactly (every step-th pixel of the
// full-resolution result) whenever anything changes.
'use strict';

const $ = (id) => document.getElementById(id);
const token = new URLSearchParams(location.search).get('token') || '';

// FUNCTIONS and FORMULA_KEYS come from words.js, which the build writes.

const state = {
  text: '',
  accepted: '',      // the last text the server accepted, which renders
  kept: '',          // the last text loaded, chosen or saved: replacing it loses nothing
  file: null,        // the filter file Save writes: { path, version, text }
  imageName: '', imageFile: null, extension: 'png',  // the photo, its file, its results' format
  photoIndex: -1,    // its place in the strip; -1: none
  controls: new Array(8).fill(0),
  described: null,   // the last filter the server accepted: names, ranges, defaults
  allControls: false,  // the unused sliders and frames too
  t: 0, total: 0,
  image: { width: 0, height: 0 },
  actual: false,     // 1:1 instead of fitting the stage
  pan: { x: 0, y: 0 },
  split: 0.5,
  playing: false,
  video: null,       // { frames, fps } while a video is shown, its frame t the picture
};
// Requests are numbered by the microsecond they were made at, so that
// numbers grow across reloads too: the server runs the newest of a lane.
function nextNumber() {
  return Math.floor((performance.timeOrigin + performance.now()) * 1000);
}
let checks = 0;
let drawnPreview = -1;
let originalKey = '';

// Requests under way, on the page for whoever waits for it to settle.
let busy = 0;
function setBusy(change) {
  busy += change;
  document.body.dataset.busy = busy;
}

// The server's answer, its body read whole while the page counts as busy,
// so that "not busy" means every answer is in and acted on: what follows
// an answer runs before anything else can look.
async function api(path, params = {}, body = undefined) {
  const query = new URLSearchParams(params).toString();
  setBusy(1);
  try {
    const response = await fetch(path + (query ? '?' + query : ''), {
      method: body === undefined ? 'GET' : 'POST',
      headers: { 'X-Zorvan-Token': token },
      body,
    });
    const bytes = await response.arrayBuffer();
    const { ok, status, statusText, headers } = response;
    const json = () => JSON.parse(new TextDecoder().decode(bytes));
    return { ok, status, statusText, headers, bytes, json };
  } finally {
    setBusy(-1);
  }
}

// What went wrong with the last preview, while the status says it.
let renderProblem = '';

function setStatus(text) {
  $('status').textContent = text;
  $('status').title = text;
  renderProblem = '';
}

function failure(response) {
  try { return response.json(); } catch { return { error: response.statusText }; }
}

// ---- editor ----------------------------------------------------------------

function escapeHtml(s) {
  return s.replace(/[&<>]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;' })[c]);
}

// One line of a filter file as highlighted HTML; errColumn (from 1) marks
// the character of a fault.
function highlightLine(line, errColumn) {
  const spans = [];  // [start, end, class]
  let formulaFrom = 0;
  if (/^\s*#/.test(line)) {
    spans.push([0, line.length, 'c']);
  } else {
    const key = /^([A-Za-z0-9]+):/.exec(line);
    if (key) {
      spans.push([0, key[0].length, 'k']);
      formulaFrom = FORMULA_KEYS.test(line) ? key[0].length : line.length;
    } else if (!/^[ \t]/.test(line)) {
      formulaFrom = line.length;
    }
    const pattern = /\/\/.*|\d+|[A-Za-z_][A-Za-z0-9_]*|[-+*/%^&|<>=!?:,~]+/g;
    pattern.lastIndex = formulaFrom;
    for (let m; (m = pattern.exec(line));) {
      const w = m[0];
      const cls = w.startsWith('//') ? 'c' : /^\d/.test(w) ? 'n' : /^[A-Za-z]/.test(w)
        ? (FUNCTIONS.has(w) ? 'f' : 'v') : 'o';
      spans.push([m.index, m.index + w.length, cls]);
    }
  }
  let html = '';
  let at = 0;
  const piece2 = (text, cls) => (text ? (cls ? `<span class="${cls}">${escapeHtml(text)}</span>`
    : escapeHtml(text)) : '');
  const piece = (from, to, cls) => {
    if (from >= to) return;
    const text = line.slice(from, to);
    const errAt = errColumn - 1;
    if (errColumn > 0 && errAt >= from && errAt < to) {
      html += piece2(text.slice(0, errAt - from), cls) +
        `<span class="err">${escapeHtml(text[errAt - from])}</span>` +
        piece2(text.slice(errAt - from + 1), cls);
    } else {
      html += piece2(text, cls);
    }
  };
  for (const [from, to, cls] of spans) {
    piece(at, from, '');
    piece(from, to, cls);
    at = to;
  }
  piece(at, line.length, '');
  if (errColumn > line.length) html += '<span class="err"> </span>';
  return html;
}

function highlight(error) {
  const lines = state.text.split('\n');
  $('highlight').innerHTML = lines.map((line, i) => {
    const here = error && error.line === i + 1;
    const html = highlightLine(line.replace(/\r$/, ''), here ? Math.max(error.column, 0) : 0);
    return here ? `<span class="err-line">${html || ' '}</span>` : html;
  }).join('\n') + '\n';
}

function showProblem(error) {
  const p = $('problem');
  p.hidden = !error;
  if (!error) return;
  $('problem-message').textContent = error.error;
  const excerpt = $('problem-excerpt');
  excerpt.textContent = error.detail ? error.detail.trimEnd() : '';
  excerpt.scrollLeft = excerpt.scrollWidth;  // the fault is at the excerpt's end when it is long
}

function setText(text) {
  state.text = text;
  $('source').value = text;
  highlight(null);
  check();
}

// ---- no lost work ----------------------------------------------------------

// Edits: the text's, or a slider moved away from the value the text gives
// it, which Save would write into the text.
function edited() {
  const moved = (c, k) => state.controls[k] !== c.value;
  return state.text !== state.kept || (state.described !== null && state.described.controls.some(moved));
}

// text, which holds the sliders' values, becomes what replacing loses nothing of.
function keep(text) {
  state.kept = text;
  if (text !== state.text) setText(text);
}

// Puts text in the editor in place of edits only when the user says so;
// returns whether it did.
function replaceText(text, what) {
  if (edited() && text !== state.text &&
      !confirm(`Replace your edits with ${what}? They have not been saved.`)) return false;
  state.described = null;
  state.kept = text;
  setText(text);
  return true;
}

// Asks the server whether the text is a filter; applies its controls and
// renders when it is, marks the fault in place when it is not (the old
// preview stays).
async function check() {
  const mine = ++checks;
  let response;
  try {
    response = await api('/api/check', {}, state.text);
  } catch {
    setStatus('the studio does not answer; is it still running?');
    return;
  }
  if (mine !== checks) return;
  if (!response.ok) {
    const error = failure(response);
    highlight(error);
    showProblem(error);
    return;
  }
  highlight(null);
  showProblem(null);
  state.accepted = state.text;
  describe(response.json());
  renderPreview();
}

// ---- controls --------------------------------------------------------------

function describe(filter) {
  const before = state.described;
  state.described = filter;
  filter.controls.forEach((c, k) => {
    const old = before && before.controls[k];
    // A changed default in the text moves the slider; otherwise the hand's value stays.
    if (!old || old.value !== c.value || old.given !== c.given) state.controls[k] = c.value;
  });
  buildControls();
}

// Which of the sliders and the frames row show: those the filter reads,
// or all when asked.
function shown() {
  const { inputs } = state.described;
  const all = state.allControls;
  return {
    control: (k) => all || (inputs.controls >> k) & 1,
    frames: all || inputs.t || inputs.total || state.total > 0 || state.video !== null,
  };
}

// The sliders are made anew only when what they show changes: a slider
// replaced while the hand drags it would drop out of the hand.
function buildControls() {
  const box = $('controls');
  const show = shown();
  const unused = state.described.controls.filter((c, k) => !show.control(k)).length;
  $('frames').hidden = !show.frames;
  $('more').hidden = !state.allControls && unused === 0 && show.frames;
  $('more').textContent = state.allControls ? 'Show only what the filter uses'
    : unused === 0 ? 'Show t and frames'
      : `Show ${unused === 1 ? 'the unused control' : `${unused} unused controls`}`;
  const layout = JSON.stringify(state.described.controls.map((c, k) =>
    show.control(k) ? [c.name, c.low, c.high] : null));
  if (box.dataset.layout === layout) {
    state.controls.forEach((v, k) => {
      if (!show.control(k)) return;
      for (const id of [`ctl${k}`, `ctl${k}-value`]) if (Number($(id).value) !== v) $(id).value = v;
    });
    return;
  }
  box.dataset.layout = layout;
  box.replaceChildren();
  state.described.controls.forEach((c, k) => {
    if (!show.control(k)) return;
    const label = document.createElement('label');
    label.textContent = c.name || `ctl(${k})`;
    label.title = `ctl(${k})`;
    label.className = c.name ? 'named' : '';
    label.htmlFor = `ctl${k}`;
    const slider = document.createElement('input');
    Object.assign(slider, { type: 'range', id: `ctl${k}`, min: c.low, max: c.high, value: state.controls[k] });
    const number = document.createElement('input');
    Object.assign(number, { type: 'number', id: `ctl${k}-value`, value: state.controls[k] });
    number.setAttribute('aria-label', `${label.textContent} value`);
    const set = (v, from) => {
      if (!Number.isFinite(v)) return;
      state.controls[k] = Math.trunc(v);
      if (from !== slider) slider.value = state.controls[k];
      if (from !== number) number.value = state.controls[k];
      renderPreview();
    };
    slider.addEventListener('input', () => set(Number(slider.value), slider));
    number.addEventListener('input', () => set(Number(number.value), number));
    box.append(label, slider, number);
  });
}

function setFrames(total, t) {
  state.total = Math.max(0, total);
  state.t = Math.min(Math.max(0, t), state.total);
  Object.assign($('t'), { max: state.total, value: state.t });
  $('t-value').textContent = state.t;
  $('total').value = state.total + 1;
}

// ---- rendering -------------------------------------------------------------

function settings() {
  const s = { t: state.t, total: state.total };
  state.controls.forEach((v, k) => { s['c' + k] = v; });
  return s;
}

// What the stage shows: a region of the image and the step that fits it
// into the stage's device pixels.
function view() {
  const stage = $('stage');
  const dpr = window.devicePixelRatio || 1;
  const sw = Math.max(1, Math.floor(stage.clientWidth * dpr));
  const sh = Math.max(1, Math.floor(stage.clientHeight * dpr));
  const { width, height } = state.image;
  if (state.actual) {
    const w = Math.min(width, sw), h = Math.min(height, sh);
    state.pan.x = Math.min(Math.max(0, state.pan.x), width - w);
    state.pan.y = Math.min(Math.max(0, state.pan.y), height - h);
    return { x: state.pan.x, y: state.pan.y, w, h, step: 1, dpr };
  }
  const step = Math.max(1, Math.ceil(Math.max(width / sw, height / sh)));
  return { x: 0, y: 0, w: width, h: height, step, dpr };
}

function region(v) { return { x: v.x, y: v.y, w: v.w, h: v.h, step: v.step }; }

async function fetchPixels(lane, params, body) {
  const mine = nextNumber();
  const response = await api('/api/render', { lane, seq: mine, ...params }, body);
  if (response.status === 409) return null;  // a newer render took its place
  if (!response.ok) throw { status: response.status, ...failure(response) };
  const width = Number(response.headers.get('X-Width'));
  const height = Number(response.headers.get('X-Height'));
  const bytes = new Uint8ClampedArray(response.bytes);
  return { mine, image: new ImageData(bytes, width, height) };
}

function draw(canvas, image) {
  if (canvas.width !== image.width || canvas.height !== image.height) {
    canvas.width = image.width;
    canvas.height = image.height;
  }
  canvas.getContext('2d').putImageData(image, 0, 0);
}

function placeFrame(v) {
  const frame = $('frame');
  frame.style.width = `${Math.ceil(v.w / v.step) / v.dpr}px`;
  frame.style.height = `${Math.ceil(v.h / v.step) / v.dpr}px`;
  placeDivider();
}

let inFlight = 0;
let pending = false;

async function renderPreview() {
  if (!state.described || !state.image.width) return;
  if (inFlight >= 2) { pending = true; return; }  // the newest will follow
  pending = false;
  const v = view();
  renderOriginal(v);
  const started = performance.now();
  inFlight++;
  try {
    const got = await fetchPixels('preview', { ...region(v), ...settings() }, state.accepted);
    if (got && got.mine > drawnPreview) {
      if (renderProblem) setStatus('');
      drawnPreview = got.mine;
      placeFrame(v);
      draw($('after'), got.image);
      $('after').dataset.seq = got.mine;
      const ms = Math.round(performance.now() - started);
      $('info').textContent = `${state.image.width} × ${state.image.height}` +
        (v.step > 1 ? `, 1 pixel in ${v.step} across and down` : ', 1:1') + ` · ${ms} ms`;
      document.dispatchEvent(new CustomEvent('previewdrawn', { detail: got.mine }));
    }
  } catch (error) {
    if (error.status === 503) {  // the server is busy: ask again, busy meanwhile
      setBusy(1);
      setTimeout(() => { setBusy(-1); renderPreview(); }, 100);
    }
    else {
      setStatus(error.error || 'the studio does not answer; is it still running?');
      renderProblem = error.error || 'no answer';
    }
  } finally {
    inFlight--;
  }
  if (pending) renderPreview();
  else if (state.playing) step();
}

async function renderOriginal(v) {
  const key = JSON.stringify([region(v), state.image]);
  if (key === originalKey) return;
  originalKey = key;
  try {
    const got = await fetchPixels('original', { ...region(v), original: 1 }, '');
    if (got) draw($('before'), got.image);
  } catch (error) {
    originalKey = '';
    setStatus(error.error || 'cannot show the original');
  }
}

function step() {
  if (state.total === 0) { play(false); setStatus('give more than one frame to play'); return; }
  setFrames(state.total, state.t >= state.total ? 0 : state.t + 1);
  if (state.video) seekFrame(state.t);
  else requestAnimationFrame(renderPreview);
}

function play(on) {
  state.playing = on;
  $('play').textContent = on ? '❚❚' : '▶';
  if (on) step();
}

// ---- before and after ------------------------------------------------------

function placeDivider() {
  const on = $('split').checked;
  $('divider').hidden = !on;
  const x = state.split * 100;
  $('divider').style.left = `${x}%`;
  $('after').style.clipPath = on ? `inset(0 0 0 ${x}%)` : 'none';
}

function dragDivider(event) {
  const box = $('frame').getBoundingClientRect();
  state.split = Math.min(1, Math.max(0, (event.clientX - box.left) / box.width));
  placeDivider();
}

// ---- files -----------------------------------------------------------------

async function openImage(file) {
  if (!file) return;
  setStatus(`reading ${file.name}…`);
  const response = await api('/api/image', { name: file.name }, file);
  if (!response.ok) { setStatus(failure(response).error); return; }
  showImage(response.json(), -1);
}

// The server's new source: its size and names, and its place in the strip.
function showImage(image, index) {
  setVideo(image.video);
  state.image = { width: image.width, height: image.height };
  Object.assign(state, { imageName: image.name, imageFile: image.name, extension: image.extension });
  state.photoIndex = index;
  state.pan = { x: 0, y: 0 };
  setStatus(`${image.name}: ${image.width} × ${image.height}`);
  for (const b of $('strip').children) b.classList.toggle('shown', Number(b.dataset.index) === index);
  renderPreview();
  renderGallery();
}

// The picker takes every format that reads, Export offers those that write.
function offerFormats(formats) {
  $('open-image').accept = formats.flatMap((f) =>
    [f.mediaType, ...f.extensions.map((e) => `.${e}`)]).join(',');
  $('export-format').append(...formats.filter((f) => f.writes).map((f) =>
    Object.assign(document.createElement('option'), { value: f.extensions[0], textContent: f.name })));
}

// ---- video -----------------------------------------------------------------

// A video's frames are the picture: t picks one, total is its last.
function setVideo(video) {
  const was = state.video;
  state.video = video;
  $('total').disabled = video !== null;
  if (video && !was) setFrames(video.frames - 1, 0);
  else if (!video && was) setFrames(0, 0);
  if (state.described) buildControls();
}

// Frame t becomes the picture, one request at a time so that the server
// ends on the newest; the preview follows each.
let frameWanted = null;
let frameBusy = false;
async function seekFrame(t) {
  frameWanted = t;
  if (frameBusy) return;
  frameBusy = true;
  try {
    while (frameWanted !== null) {
      const wanted = frameWanted;
      frameWanted = null;
      const response = await api('/api/frame', { t: wanted }, '');
      if (!response.ok) { setStatus((await failure(response)).error); play(false); continue; }
      const image = await response.json();
      state.image = { width: image.width, height: image.height, frame: wanted };
      setStatus(`${image.name}: frame ${wanted} of ${state.video.frames}, ${image.width} × ${image.height}`);
      if (frameWanted === null) renderPreview();
    }
  } finally {
    frameBusy = false;
  }
}

function exportText(p) {
  if (p.running) return `writing ${p.file}: frame ${p.done} of ${p.total}`;
  if (p.cancelled) return `export cancelled; nothing was written`;
  return p.error || `wrote ${p.file}`;
}

// Shows how the video's export goes until it ends.
async function followExport(progress) {
  for (let p = progress; ;) {
    setStatus(exportText(p));
    $('export-cancel-video').hidden = !p.running;
    $('export').disabled = p.running;
    if (!p.running) return;
    await new Promise((resolve) => { setTimeout(resolve, 200); });
    const response = await api('/api/video-export');
    if (!response.ok) { setStatus((await failure(response)).error); return; }
    p = await response.json();
  }
}

async function exportVideo() {
  const response = await api('/api/video-export', settings(), state.accepted);
  if (!response.ok) { setStatus((await failure(response)).error); return; }
  followExport(await response.json());
}

// ---- many photos -----------------------------------------------------------

function buildStrip(names, shown) {
  $('strip-bar').hidden = names.length === 0;
  $('strip').replaceChildren(...names.map((name, index) => {
    const button = document.createElement('button');
    Object.assign(button, { type: 'button', textContent: name, className: index === shown ? 'shown' : '' });
    button.dataset.index = index;
    button.addEventListener('click', () => showPhoto(index));
    return button;
  }));
}

// One photo asked for at a time, the last one clicked next, so that the
// server shows the one the page does.
let photoWanted = null;
let photoAsking = false;
async function showPhoto(index) {
  photoWanted = index;
  if (photoAsking) return;
  photoAsking = true;
  while (photoWanted !== null) {
    const asked = photoWanted;
    photoWanted = null;
    const response = await api('/api/photo', { index: asked }, '');
    if (!response.ok) setStatus(failure(response).error);
    else showImage(response.json(), asked);
  }
  photoAsking = false;
}

function batchText(p) {
  const failed = p.failed.length ? `, ${p.failed.length} failed: ${p.failed.map((f) => f.error).join('; ')}` : '';
  return `${p.folder}: ${p.done - p.failed.length} of ${p.total} written` +
    (p.cancelled ? ', cancelled' : '') + failed;
}

// Shows how Apply to all goes until it ends.
async function followBatch(progress) {
  for (let p = progress; ;) {
    $('batch').textContent = $('batch').title = batchText(p);
    $('cancel-all').hidden = !p.running;
    $('apply-all').disabled = p.running;
    if (!p.running) return;
    await new Promise((resolve) => { setTimeout(resolve, 200); });
    const response = await api('/api/batch');
    if (!response.ok) { $('batch').textContent = failure(response).error; return; }
    p = response.json();
  }
}

async function applyToAll() {
  const response = await api('/api/batch', settings(), state.accepted);
  if (!response.ok) { $('batch').textContent = failure(response).error; return; }
  followBatch(response.json());
}

function saveBlob(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

// The text with each control's value set to the slider's.
function withControls(text) {
  let out = text;
  state.controls.forEach((v, k) => {
    const line = new RegExp(`^(ctl${k}:[ \\t]*(?:[^=\\n(]*=)?[ \\t]*)-?\\d+`, 'm');
    if (line.test(out)) out = out.replace(line, `$1${v}`);
    else if (v !== 0) out = `ctl${k}: ${v}\n` + out;
  });
  return out;
}

function slug(text) {
  return text.toLowerCase().replace(/[^a-z0-9]+/g, '-').replace(/^-|-$/g, '');
}

function fileName(extension) {
  return slug((state.described && state.described.title) || 'filter') + extension;
}

// The result's name: the photo's, then the filter's.
function resultName(extension) {
  const stem = state.imageName.replace(/^.*\//, '').replace(/\.[^.]*$/, '');
  return `${slug(stem) || 'photo'}-${fileName('.' + extension)}`;
}

async function exportResult() {
  $('export-dialog').close();
  setStatus('rendering at full resolution…');
  const response = await api('/api/export', {
    lane: 'download', seq: nextNumber(), photo: state.photoIndex, format: $('export-format').value,
    quality: $('export-quality').value, ...settings(),
  }, state.accepted);
  if (!response.ok) { setStatus(failure(response).error); return; }
  const name = resultName(response.headers.get('X-Extension'));
  saveBlob(new Blob([response.bytes], { type: response.headers.get('Content-Type') }), name);
  setStatus(`exported ${name}`);
}

function saveAs() {
  const text = withControls(state.text);
  saveBlob(new Blob([text], { type: 'text/plain' }), fileName('.zvf'));
  keep(text);
}

// Writes the filter file back, with the sliders' values, if it is still
// the version the page loaded or saved; when it is not, only once the user
// says to replace the version it is now.
async function save(version = state.file.version) {
  const text = withControls(state.text);
  const response = await api('/api/save', { version }, text);
  if (response.status === 409) {
    const changed = failure(response);
    if (confirm(`${changed.error}. Replace it with the filter here?`)) await save(changed.version);
    else setStatus(`not saved: ${changed.error}`);
    return;
  }
  if (!response.ok) { setStatus(`not saved: ${failure(response).error}`); return; }
  state.file.version = response.json().version;
  state.file.text = text;
  keep(text);
  setStatus(`saved ${state.file.path}`);
}

// ---- the command line ------------------------------------------------------

// word for a POSIX shell: in single quotes, which keep any text but a
// quote, unless it is safe as it is.
function quoted(word) {
  return /^[A-Za-z0-9_/.,:=+@%-]+$/.test(word) ? word : `'${word.replace(/'/g, "'\\''")}'`;
}

// A file name that no program takes for an option.
function asPath(name) { return name.startsWith('-') ? `./${name}` : name; }

// The zorvan apply line that writes what Export writes in the photo's own
// format: the filter is the -f file or the example when the text is theirs,
// else the text itself, piped in.
function command() {
  const text = state.accepted;
  const own = state.video ? state.imageName.replace(/^.*\./, '').toLowerCase() : state.extension;
  const words = ['zorvan', 'apply', asPath(state.imageFile || 'photo.png'), asPath(resultName(own))];
  const example = examples.find((e) => e.text === text);
  if (state.file && text === state.file.text) words.push('-f', asPath(state.file.path));
  else if (example) words.push('-x', example.name);
  else words.push('-f', '/dev/stdin');
  state.described.controls.forEach((c, k) => {
    if (state.controls[k] !== c.value) words.push(`--ctl=${k}=${state.controls[k]}`);
  });
  if (shown().frames && state.total > 0 && !state.video) words.push(`--frames=${state.total + 1}`);
  const line = words.map(quoted).join(' ');
  return words.includes('/dev/stdin') ? `printf '%s' ${quoted(text)} | ${line}` : line;
}

function showCommand() {
  if (!state.described) return;
  $('command-text').value = command();
  $('command-dialog').showModal();
}

// A link that holds the filter: its text and controls in the fragment, so
// nothing is stored anywhere but in the link.
function shareLink() {
  const bytes = new TextEncoder().encode(withControls(state.text));
  let binary = '';
  bytes.forEach((b) => { binary += String.fromCharCode(b); });
  const encoded = btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  const fragment = new URLSearchParams({ f: encoded, t: state.t, total: state.total });
  history.replaceState(null, '', '#' + fragment.toString());
  navigator.clipboard?.writeText(location.href).catch(() => {});
  setStatus('the link in the address bar holds this filter');
}

function sharedFilter() {
  const fragment = new URLSearchParams(location.hash.slice(1));
  const encoded = fragment.get('f');
  if (!encoded) return null;
  try {
    const binary = atob(encoded.replace(/-/g, '+').replace(/_/g, '/'));
    const text = new TextDecoder().decode(Uint8Array.from(binary, (c) => c.charCodeAt(0)));
    return { text, t: Number(fragment.get('t')) || 0, total: Number(fragment.get('total')) || 0 };
  } catch {
    setStatus('the link holds no readable filter');
    return null;
  }
}

// ---- gallery ---------------------------------------------------------------

let examples = [];

function buildGallery() {
  const box = $('gallery');
  box.replaceChildren();
  for (const e of examples) {
    const button = document.createElement('button');
    button.type = 'button';
    button.title = e.about;
    button.dataset.example = e.name;
    const canvas = document.createElement('canvas');
    const name = document.createElement('span');
    name.textContent = e.title || e.name;
    button.append(canvas, name);
    button.addEventListener('click', () => {
      if (replaceText(e.text, `the example ${e.title || e.name}`) && !state.video) setFrames(0, 0);
    });
    box.append(button);
  }
}

// The middle of the image in the thumbnails' 3:2, about 160 pixels wide.
function thumbnailView() {
  const { width, height } = state.image;
  const w = Math.min(width, Math.max(1, Math.round(height * 3 / 2)));
  const h = Math.min(height, Math.max(1, Math.round(width * 2 / 3)));
  const x = Math.floor((width - w) / 2), y = Math.floor((height - h) / 2);
  return { x, y, w, h, step: Math.max(1, Math.ceil(w / 160)) };
}

async function renderGallery() {
  const v = thumbnailView();
  for (const button of $('gallery').children) {
    const e = examples.find((x) => x.name === button.dataset.example);
    try {
      const got = await fetchPixels('thumb', { ...v, ...defaults(e) }, e.text);
      if (got) draw(button.querySelector('canvas'), got.image);
    } catch { /* a thumbnail that fails stays blank */ }
  }
}

function defaults(example) {
  const s = {};
  for (const line of example.text.split('\n')) {
    const m = /^ctl([0-7]):[^=\n(]*?=?\s*(-?\d+)/.exec(line);
    if (m) s['c' + m[1]] = m[2];
  }
  return s;
}

// ---- wiring ----------------------------------------------------------------

function wire() {
  const source = $('source');
  source.addEventListener('input', () => {
    state.text = source.value;
    highlight(null);
    check();
  });
  source.addEventListener('scroll', () => { $('highlight').scrollTop = source.scrollTop; });

  $('t').addEventListener('input', () => {
    setFrames(state.total, Number($('t').value));
    if (state.video) seekFrame(state.t);
    else renderPreview();
  });
  $('total').addEventListener('input', () => {
    setFrames(Math.max(1, Number($('total').value) || 1) - 1, state.t);
    renderPreview();
  });
  $('play').addEventListener('click', () => play(!state.playing));
  $('more').addEventListener('click', () => { state.allControls = !state.allControls; buildControls(); });

  $('actual').addEventListener('change', () => { state.actual = $('actual').checked; $('stage').classList.toggle('actual', state.actual); renderPreview(); });
  $('split').addEventListener('change', placeDivider);
  const hold = (on) => $('stage').classList.toggle('hold', on);
  $('hold').addEventListener('pointerdown', () => hold(true));
  for (const type of ['pointerup', 'pointerleave', 'pointercancel', 'keyup', 'blur']) {
    $('hold').addEventListener(type, () => hold(false));
  }
  $('hold').addEventListener('keydown', (e) => { if (e.key === ' ' || e.key === 'Enter') hold(true); });

  const divider = $('divider');
  divider.addEventListener('pointerdown', (e) => { divider.setPointerCapture(e.pointerId); });
  divider.addEventListener('pointermove', (e) => { if (divider.hasPointerCapture(e.pointerId)) dragDivider(e); });

  // Dragging the image pans it at 1:1.
  const stage = $('stage');
  let drag = null;
  stage.addEventListener('pointerdown', (e) => {
    if (!state.actual || e.target === divider) return;
    drag = { x: e.clientX, y: e.clientY, pan: { ...state.pan } };
    stage.setPointerCapture(e.pointerId);
  });
  stage.addEventListener('pointermove', (e) => {
    if (!drag) return;
    const dpr = window.devicePixelRatio || 1;
    state.pan = { x: Math.round(drag.pan.x - (e.clientX - drag.x) * dpr), y: Math.round(drag.pan.y - (e.clientY - drag.y) * dpr) };
    renderPreview();
  });
  stage.addEventListener('pointerup', () => { drag = null; });
  stage.addEventListener('dragover', (e) => { e.preventDefault(); stage.classList.add('drop'); });
  stage.addEventListener('dragleave', () => stage.classList.remove('drop'));
  stage.addEventListener('drop', (e) => {
    e.preventDefault();
    stage.classList.remove('drop');
    openImage(e.dataTransfer.files[0]);
  });
  new ResizeObserver(() => renderPreview()).observe(stage);

  $('open-image').addEventListener('change', (e) => openImage(e.target.files[0]));
  $('open-filter').addEventListener('change', async (e) => {
    const file = e.target.files[0];
    if (file) replaceText(await file.text(), file.name);
    e.target.value = '';  // the same file again is a change too
  });
  $('save').addEventListener('click', () => save());
  $('save-filter').addEventListener('click', saveAs);
  $('export').addEventListener('click', () => {
    if (state.video) exportVideo();
    else $('export-dialog').showModal();
  });
  $('export-cancel-video').addEventListener('click', () => api('/api/video-export/cancel', {}, ''));
  $('export-go').addEventListener('click', exportResult);
  $('export-cancel').addEventListener('click', () => $('export-dialog').close());
  $('command').addEventListener('click', showCommand);
  $('command-copy').addEventListener('click', () => {
    navigator.clipboard?.writeText($('command-text').value).catch(() => {});
    $('command-text').select();
  });
  $('command-close').addEventListener('click', () => $('command-dialog').close());
  $('share').addEventListener('click', shareLink);
  $('apply-all').addEventListener('click', applyToAll);
  $('cancel-all').addEventListener('click', () => api('/api/batch/cancel', {}, ''));
  window.addEventListener('hashchange', () => {
    const shared = sharedFilter();
    if (shared && replaceText(shared.text, 'the linked filter')) setFrames(shared.total, shared.t);
  });
  window.addEventListener('beforeunload', (e) => {
    if (!edited()) return;
    e.preventDefault();
    e.returnValue = '';  // what older browsers ask for
  });
}

async function start() {
  wire();
  const response = await api('/api/state');
  if (!response.ok) { setStatus(failure(response).error); return; }
  const s = response.json();
  state.image = { width: s.width, height: s.height };
  Object.assign(state, { imageName: s.imageName, imageFile: s.imageFile, extension: s.extension });
  if (s.filterPath !== null) state.file = { path: s.filterPath, version: s.filterVersion, text: s.filter };
  $('save').hidden = !state.file;
  examples = s.examples;
  offerFormats(s.formats);
  buildGallery();
  buildStrip(s.photos, s.shown);
  state.photoIndex = s.shown;
  const shared = sharedFilter();
  setFrames(shared ? shared.total : 0, shared ? shared.t : 0);
  setVideo(s.video);
  state.kept = shared ? shared.text : s.filter;
  setText(state.kept);
  setStatus(`${s.imageName}: ${s.width} × ${s.height}`);
  renderGallery();
}

start();
