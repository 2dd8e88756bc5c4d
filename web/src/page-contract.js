// What the kit knows of the page the programs write: the addresses its
// script lines load, the columns of its node and link rows and their order,
// the placeholder row that comes first, and how a picture node's class is
// marked. The writer's side of the same agreement is page/page_contract.h
// (kLoaderPath, kNetworkPath, kPlaceholderPath, NodeColumn, LinkColumn, the
// dummy row, kImageGroupSuffix, kImageStyle); a change to one is a change to
// both, and web/test/page-contract.test.mjs reads pages the writer wrote to
// hold them together.
//
// At run time the kit receives the rows through the page's DataTables, keyed
// by column label; parsePage() reads the same rows out of the page's text.

// The paths behind the host the programs are built with. The network script
// finds the placeholder image beside itself on the same server.
export const LOADER_PATH = '/jsapi';
export const NETWORK_PATH = '/Graph/network/network.js';
export const PLACEHOLDER_PATH = '/VR/style/noimage.png';

// A standalone copy carries the network script inline and hands it the
// placeholder image's address in this attribute of the script element.
export const PLACEHOLDER_IMAGE_ATTRIBUTE = 'data-placeholder-image';
// It carries each image that more than one use shares once, in a JSON script
// element with this attribute (see copy-images.js); bundle/standalone.h
// writes it as kImageTableAttribute.
export const IMAGE_TABLE_ATTRIBUTE = 'data-plotweave-images';

// The columns in the order the page adds them (nodesTable.addColumn,
// linksTable.addColumn); every value is a string.
export const NODE_COLUMNS = Object.freeze(['id', 'group', 'text', 'title', 'style', 'image', 'url']);
export const LINK_COLUMNS = Object.freeze(['from', 'to', 'color', 'style', 'title', 'text']);

// The page's first node row stands for no plan node: the page selects it
// when it opens, so that nothing is shown before the reader picks a node.
export const DUMMY_ROW = Object.freeze({ id: '00000', group: 'dummy', text: '', title: '', style: 'dot', image: '', url: '' });

// A node drawn as its picture has the style 'image' and its class's name
// with this suffix as its group.
export const IMAGE_STYLE = 'image';
export const IMAGE_GROUP_SUFFIX = '_image';

export function isDummyRow(row, index) {
  return index === 0 && !!row && row.id === DUMMY_ROW.id && row.group === DUMMY_ROW.group;
}

export function isPictureRow(row) {
  return String(row.style).toLowerCase() === IMAGE_STYLE;
}

// The plan class a node row belongs to: its group, without the picture
// suffix on a picture row.
export function classOfRow(row) {
  const group = row.group === undefined || row.group === null ? '' : String(row.group);
  return isPictureRow(row) && group.endsWith(IMAGE_GROUP_SUFFIX) ? group.slice(0, -IMAGE_GROUP_SUFFIX.length) : group;
}

// The placeholder image on the server the network script came from, or
// undefined for a script address that is not the kit's.
export function placeholderImageFor(networkScriptAddress) {
  const src = String(networkScriptAddress || '');
  if (!src.endsWith(NETWORK_PATH)) return undefined;
  return src.slice(0, -NETWORK_PATH.length) + PLACEHOLDER_PATH;
}

// ---------------------------------------------------------------------------
// Reading the page's text.

const SCRIPT_LINE = /^\s*<script type="text\/javascript" src="([^"]*)"><\/script>\s*$/;

// { kind: 'loader' | 'network', host } for one of the page's two outside
// script lines, else null.
export function parseScriptLine(line) {
  const m = SCRIPT_LINE.exec(line);
  if (!m) return null;
  for (const [kind, path] of [['loader', LOADER_PATH], ['network', NETWORK_PATH]]) {
    if (m[1].endsWith(path)) return { kind, host: m[1].slice(0, -path.length) };
  }
  return null;
}

const TABLES = { nodesTable: 'nodes', linksTable: 'links' };
const ROW_LINE = /^\s*(nodesTable|linksTable)\.addRow\(\[(.*)\]\);\s*$/;
const COLUMN_LINE = /^\s*(nodesTable|linksTable)\.addColumn\('string', '([^'\\]*)'\);\s*$/;
const ESCAPES = { n: '\n', r: '\r', t: '\t', b: '\b', f: '\f', v: '\v', 0: '\0' };

// The values of an array of single-quoted string literals, read the way the
// browser reads them (a backslash escapes the next character), or null when
// the browser would not read them as such an array.
function stringList(text) {
  const values = [];
  let i = 0;
  const blanks = () => { while (text[i] === ' ') i++; };
  blanks();
  if (i === text.length) return values;
  for (;;) {
    if (text[i] !== "'") return null;
    let value = '';
    for (i++; text[i] !== "'"; i++) {
      if (i >= text.length || text[i] === '\n') return null;
      if (text[i] !== '\\') { value += text[i]; continue; }
      const c = text[++i];
      const hex = c === 'x' ? 2 : c === 'u' ? 4 : 0;
      if (hex) {
        const digits = text.slice(i + 1, i + 1 + hex);
        if (!/^[0-9a-fA-F]+$/.test(digits) || digits.length !== hex) return null;
        value += String.fromCharCode(parseInt(digits, 16));
        i += hex;
      } else if (c !== undefined) {
        value += Object.prototype.hasOwnProperty.call(ESCAPES, c) ? ESCAPES[c] : c;
      }
    }
    values.push(value);
    i++;
    blanks();
    if (i === text.length) return values;
    if (text[i] !== ',') return null;
    i++;
    blanks();
  }
}

function keyed(columns, values) {
  const row = {};
  columns.forEach((name, k) => { row[name] = values[k]; });
  return row;
}

// { table: 'nodes' | 'links', row } for one addRow line of the page, the row
// keyed by NODE_COLUMNS or LINK_COLUMNS; { table, row: null, values } when
// the line adds a row of the wrong length; null for any other line.
export function parseRowLine(line) {
  const m = ROW_LINE.exec(line);
  if (!m) return null;
  const table = TABLES[m[1]];
  const values = stringList(m[2]);
  if (values === null) return null;
  const columns = table === 'nodes' ? NODE_COLUMNS : LINK_COLUMNS;
  return { table, row: values.length === columns.length ? keyed(columns, values) : null, values };
}

// Everything parsePage finds in a page's text:
//   scripts: { loader, network } hosts (undefined when a line is missing)
//   nodeColumns, linkColumns: the labels of the addColumn lines, in order
//   nodes, links: the rows, keyed by column
//   malformed: the lines that look like rows but do not fit the columns
export function parsePage(text) {
  const page = { scripts: {}, nodeColumns: [], linkColumns: [], nodes: [], links: [], malformed: [] };
  for (const line of String(text).split(/\r?\n/)) {
    const script = parseScriptLine(line);
    if (script) {
      if (page.scripts[script.kind] === undefined) page.scripts[script.kind] = script.host;
      continue;
    }
    const column = COLUMN_LINE.exec(line);
    if (column) {
      page[TABLES[column[1]] === 'nodes' ? 'nodeColumns' : 'linkColumns'].push(column[2]);
      continue;
    }
    const parsed = parseRowLine(line);
    if (parsed && parsed.row) page[parsed.table].push(parsed.row);
    else if (parsed || /^\s*(nodesTable|linksTable)\.addRow\(/.test(line)) page.malformed.push(line);
  }
  return page;
}

// ---------------------------------------------------------------------------
// The page's captions: headings and paragraphs that the page keeps inside a
// comment at the start of its body. The first one's text, or '' when there is
// none; the comment is read into an inert document, never into the page.
export function firstCaption(doc) {
  const body = doc && doc.body;
  if (!body) return '';
  for (const node of body.childNodes) {
    if (node.nodeType !== 8) continue;
    const inert = new DOMParser().parseFromString(`<body>${node.data}</body>`, 'text/html');
    const caption = inert.body.querySelector('h1, h2, h3, h4, h5, h6, p');
    if (caption) return caption.textContent.replace(/\s+/g, ' ').trim();
  }
  return '';
}
