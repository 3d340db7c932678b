// Kiv's page: the converter of the program (kiv.js, WebAssembly) on the
// text of the field or on the bytes of a file. The options, their wording
// and what each preset stands for come from the module, that is from the
// program's own option table and help screen.
'use strict';

// The groups of the page, each named by its first option. A group runs up
// to the next group's first option or the end of a group of the help
// screen; the standard-stream options of the help's last group are left
// out, since a page has no standard streams.
const GROUPS = [
  { first: '-z', legend: 'Zeichen ersetzen und maskieren' },
  { first: '-l', legend: 'Leerzeichen und HTML' },
  {
    first: '-C', legend: 'Voreinstellungen',
    note: 'Eine Voreinstellung hakt die Optionen ab, für die sie steht. ' +
      '-S setzt -kr nicht, wie im Programm.',
  },
  { first: '-D', legend: 'Druckbefehl' },
];

// File name endings of a print command or program in one syntax.
const ENDINGS = { '-C': 'c', '-P': 'php', '-J': 'js', '-B': 'sh', '-S': 'sed' };

// Beyond this many bytes the result and a file are shown cut short; copy
// and save always take everything.
const SHOWN_BYTES = 256 * 1024;

const $ = (id) => document.getElementById(id);
const utf8 = new TextEncoder();

let kiv = null;        // the module
const options = [];    // { name, row, text, box, implied, own } in page order
let fileBytes = null;  // the source when a file was chosen or dropped
let result = new Uint8Array(0);

// The help screen's option list as { name, text } groups.
function helpGroups() {
  const groups = [[]];
  const list = kiv.UTF8ToString(kiv._kiv_help_options());
  for (const line of list.split('\n')) {
    const match = /^ {2}(\S+)\t(.*)$/.exec(line);
    if (match) groups[groups.length - 1].push({ name: match[1], text: match[2] });
    else if (line === '' && groups[groups.length - 1].length > 0) groups.push([]);
  }
  return groups;
}

function buildOptions() {
  const rows = new Map();
  for (let row = 0; row < kiv._kiv_option_count(); row++) {
    rows.set(kiv.UTF8ToString(kiv._kiv_option_name(row)), row);
  }
  const firsts = new Set(GROUPS.map((group) => group.first));
  const container = $('options');
  let fieldset = null;
  for (const helpGroup of helpGroups()) {
    let inGroup = false;
    for (const { name, text } of helpGroup) {
      const group = GROUPS.find((g) => g.first === name);
      if (group) {
        fieldset = addFieldset(container, group);
        inGroup = true;
      }
      if (!inGroup || !rows.has(name)) continue;
      options.push(addOption(fieldset, name, rows.get(name), text));
      firsts.delete(name);
    }
  }
  if (firsts.size > 0) throw new Error('Optionen fehlen: ' + [...firsts].join(' '));
}

function addFieldset(container, group) {
  const fieldset = document.createElement('fieldset');
  const legend = document.createElement('legend');
  legend.textContent = group.legend;
  fieldset.append(legend);
  if (group.note) {
    const note = document.createElement('p');
    note.className = 'note';
    note.textContent = group.note;
    fieldset.append(note);
  }
  container.append(fieldset);
  return fieldset;
}

function addOption(fieldset, name, row, text) {
  const id = 'option' + name.replace(/%/g, 'prozent');
  const line = document.createElement('div');
  line.className = 'option';
  const box = document.createElement('input');
  box.type = 'checkbox';
  box.id = id;
  box.value = name;
  const label = document.createElement('label');
  label.htmlFor = id;
  const code = document.createElement('code');
  code.textContent = name;
  const implied = document.createElement('span');
  implied.className = 'implied';
  label.append(code, ' ', text, implied);
  line.append(box, label);
  fieldset.append(line);
  const option = { name, row, text, box, implied, own: false };
  box.addEventListener('change', () => {
    option.own = box.checked;
    update();
  });
  return option;
}

// Ticked options stand for the options they include (a preset for its
// single options, -Du for -D): those show ticked and cannot be unticked
// on their own.
function showImplied() {
  for (const option of options) {
    const by = options.filter((other) => other !== option && other.own &&
      kiv._kiv_option_includes(other.row, option.row));
    option.box.checked = option.own || by.length > 0;
    option.box.disabled = by.length > 0;
    option.implied.textContent = by.length > 0
      ? ' (durch ' + by.map((other) => other.name).join(', ') + ')' : '';
  }
}

// The options the user ticked, without those a ticked option stands for.
function chosenOptions() {
  return options.filter((option) => option.own && !option.box.disabled);
}

function convert(bytes) {
  let rows = 0;
  for (const option of options) if (option.own) rows |= 1 << option.row;
  const room = kiv._kiv_output_room(bytes.length);
  const input = room > 0 ? kiv._malloc(Math.max(bytes.length, 1)) : 0;
  const output = input ? kiv._malloc(room) : 0;
  try {
    if (!output) return null;
    kiv.HEAPU8.set(bytes, input);
    const length = kiv._kiv_convert(input, bytes.length, rows >>> 0, output);
    return kiv.HEAPU8.slice(output, output + length);
  } finally {
    if (input) kiv._free(input);
    if (output) kiv._free(output);
  }
}

// Decodes bytes as UTF-8 for showing them; tells whether they were UTF-8.
function decode(bytes) {
  try {
    return { text: new TextDecoder('utf-8', { fatal: true }).decode(bytes), exact: true };
  } catch (error) {
    return { text: new TextDecoder('utf-8').decode(bytes), exact: false };
  }
}

function update() {
  showImplied();
  // One span per word, so that a line never breaks inside "-C".
  const words = ['Kiv', '<Quelldatei>', '<Zieldatei>']
    .concat(chosenOptions().map((option) => option.name));
  $('command').replaceChildren(...words.flatMap((word, i) => {
    const span = document.createElement('span');
    span.textContent = word;
    return i === 0 ? [span] : [' ', span];
  }));
  const converted = convert(fileBytes || utf8.encode($('source').value));
  const note = $('result-note');
  if (converted === null) {
    result = new Uint8Array(0);
    $('result').textContent = '';
    note.textContent = 'Für diese Quelle reicht der Speicher des Browsers nicht.';
    note.hidden = false;
    return;
  }
  result = converted;
  const shown = decode(result.subarray(0, SHOWN_BYTES));
  $('result').textContent = shown.text;
  const notes = [];
  if (result.length > SHOWN_BYTES) {
    notes.push('Gezeigt sind die ersten 256 KiB von ' + result.length.toLocaleString('de-DE') +
      ' Bytes; Kopieren und Speichern nehmen alles.');
  }
  if (!decode(result).exact) {
    notes.push('Das Ergebnis enthält Bytes, die kein UTF-8 sind: Anzeige und Kopie ' +
      'zeigen sie als �, die gespeicherte Datei enthält sie unverändert.');
  }
  note.textContent = notes.join(' ');
  note.hidden = notes.length === 0;
}

function say(text) {
  $('status').textContent = text;
}

async function useFile(file) {
  try {
    fileBytes = new Uint8Array(await file.arrayBuffer());
  } catch (error) {
    say('Die Datei „' + file.name + '“ ließ sich nicht lesen: ' + error.message);
    return;
  }
  const source = $('source');
  source.value = decode(fileBytes.subarray(0, SHOWN_BYTES)).text;
  source.readOnly = true;
  $('file-status').textContent = 'Umgewandelt wird die Datei „' + file.name + '“ (' +
    fileBytes.length.toLocaleString('de-DE') + ' Bytes), Byte für Byte; das Feld zeigt sie nur.';
  $('file-close').hidden = false;
  update();
}

function closeFile() {
  fileBytes = null;
  $('file').value = '';
  const source = $('source');
  source.value = '';
  source.readOnly = false;
  $('file-status').textContent = 'Datei geschlossen; umgewandelt wird wieder das Textfeld.';
  $('file-close').hidden = true;
  update();
  source.focus();
}

async function copyResult() {
  try {
    await navigator.clipboard.writeText(decode(result).text);
    say('Ergebnis kopiert.');
  } catch (error) {
    say('Kopieren hat der Browser nicht erlaubt; markieren Sie das Ergebnis und kopieren Sie es selbst.');
  }
}

// kiv-ergebnis.c for a C print command, and so on; .html for a JavaScript
// frame (a script element), .txt for a bare string.
function resultFileName() {
  const chosen = options.filter((option) => option.own);
  const syntaxes = chosen.filter((option) => option.name in ENDINGS);
  const command = chosen.some((option) => option.name === '-D' || option.name === '-Du');
  const frame = chosen.some((option) => option.name === '-Du');
  let ending = 'txt';
  if (command && syntaxes.length === 1) {
    ending = ENDINGS[syntaxes[0].name];
    if (ending === 'js' && frame) ending = 'html';
  }
  return 'kiv-ergebnis.' + ending;
}

function saveResult() {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([result], { type: 'application/octet-stream' }));
  link.download = resultFileName();
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  say('Gespeichert als ' + link.download + ' (' + result.length.toLocaleString('de-DE') + ' Bytes).');
}

function wireUp() {
  $('source').addEventListener('input', update);
  $('file-choose').addEventListener('click', () => $('file').click());
  $('file').addEventListener('change', () => {
    if ($('file').files.length > 0) useFile($('file').files[0]);
  });
  $('file-close').addEventListener('click', closeFile);
  $('reset').addEventListener('click', () => {
    for (const option of options) option.own = false;
    update();
  });
  $('copy').addEventListener('click', copyResult);
  $('save').addEventListener('click', saveResult);
  // Files dropped anywhere are taken; text dragged into the field is left
  // to the browser.
  const carriesFiles = (event) => event.dataTransfer.types.includes('Files');
  document.addEventListener('dragover', (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    event.dataTransfer.dropEffect = 'copy';
  });
  document.addEventListener('drop', (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    if (event.dataTransfer.files.length > 0) useFile(event.dataTransfer.files[0]);
  });
}

// Debian's emscripten hands back the module with a promise `ready`; later
// ones hand back a promise of the module.
Promise.resolve(createKiv()).then((module) => module.ready || module).then((module) => {
  kiv = module;
  $('version').textContent = kiv.UTF8ToString(kiv._kiv_version());
  buildOptions();
  wireUp();
  update();
  document.body.dataset.ready = 'true';
}).catch((error) => {
  say('Kiv konnte nicht starten: ' + error.message);
});
