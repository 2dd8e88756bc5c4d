// The kit's reading of the page against pages the writer wrote: the golden
// page, which the program must reproduce byte for byte, and, when the
// programs are given (PLOTWEAVE_SELF, PLOTWEAVE_BLANK: paths to the two
// builds), pages written now for every example plan and for a plan at full
// capacity. Every node and link row must come out as the plan says, column
// by column, so a change to the page's shape on either side fails here.

import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { cpSync, existsSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import {
  DUMMY_ROW, IMAGE_GROUP_SUFFIX, LINK_COLUMNS, NETWORK_PATH, NODE_COLUMNS, classOfRow, isDummyRow,
  isPictureRow, parsePage, parseRowLine, parseScriptLine, placeholderImageFor,
} from '../src/page-contract.js';
import { expectedTitle, isImageNode, readPlan, shown } from '../test-support/plan-reading.mjs';
import { fullCapacityPlan } from '../test-support/full-plan.mjs';

const root = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
const EXAMPLES = join(root, 'examples');

// The rows a plan must give, keyed as the kit reads them.
function expectedRows(plan, target, placeholder) {
  const nodes = plan.nodes.map((fields) => {
    const [id, className, label, url = '', image = ''] = fields;
    const picture = isImageNode(fields);
    const text = picture && !plan.classes.get(className).labelFlag ? '' : shown(label);
    return {
      id,
      group: picture ? className + IMAGE_GROUP_SUFFIX : className,
      text,
      title: expectedTitle(fields, target),
      style: picture ? 'image' : plan.classes.get(className).style,
      image: image || placeholder,
      url,
    };
  });
  const links = plan.links.map(([from, to, relation]) => {
    const rel = plan.relations.get(relation);
    return { from, to, color: rel.color, style: rel.style, title: shown(relation), text: rel.labelFlag ? shown(relation) : '' };
  });
  return { nodes, links };
}

function checkPage(text, plan, target) {
  const page = parsePage(text);
  assert.deepEqual(page.nodeColumns, NODE_COLUMNS, 'node columns in the kit\'s order');
  assert.deepEqual(page.linkColumns, LINK_COLUMNS, 'link columns in the kit\'s order');
  assert.deepEqual(page.malformed, [], 'every row fits its columns');
  assert.ok(page.scripts.loader !== undefined, 'the loader script line');
  assert.ok(page.scripts.network !== undefined, 'the network script line');
  const placeholder = placeholderImageFor(page.scripts.network + NETWORK_PATH);

  assert.equal(page.nodes.length, plan.nodes.length + 1, 'the dummy row and one row per plan node');
  assert.deepEqual(page.nodes[0], { ...DUMMY_ROW });
  assert.ok(isDummyRow(page.nodes[0], 0));
  assert.equal(page.links.length, plan.links.length, 'one row per plan link');

  const want = expectedRows(plan, target, placeholder);
  want.nodes.forEach((row, i) => {
    const got = page.nodes[i + 1];
    assert.deepEqual(got, row, `node row ${i + 1}`);
    assert.ok(!isDummyRow(got, i + 1));
    assert.equal(classOfRow(got), plan.nodes[i][1], `class of ${row.id}`);
    assert.equal(isPictureRow(got), isImageNode(plan.nodes[i]), `${row.id} drawn as its picture`);
  });
  want.links.forEach((row, i) => assert.deepEqual(page.links[i], row, `link row ${i}`));
}

describe('the golden page', () => {
  test('reads as the example plan says', () => {
    const text = readFileSync(join(root, 'tests', 'golden', 'ontology.htm'), 'utf8');
    checkPage(text, readPlan(join(EXAMPLES, 'ontology.lst')), '_self');
    // The placeholder is the image on the network script's own server.
    const page = parsePage(text);
    assert.equal(page.nodes[1].image, `${page.scripts.network}/VR/style/noimage.png`);
  });
});

const PROGRAMS = [
  ['self', process.env.PLOTWEAVE_SELF && resolve(process.env.PLOTWEAVE_SELF), '_self', (base) => `${base}_self.htm`],
  ['blank', process.env.PLOTWEAVE_BLANK && resolve(process.env.PLOTWEAVE_BLANK), '_blank', (base) => `${base}.htm`],
].filter(([, path]) => path);

for (const [which, program, target, pageName] of PROGRAMS) {
  describe(`pages the ${which} build writes now`, () => {
    test('read as their plans say', (t) => {
      const dir = mkdtempSync(join(tmpdir(), 'pw-contract-'));
      t.after(() => rmSync(dir, { recursive: true, force: true }));
      cpSync(EXAMPLES, dir, { recursive: true });
      writeFileSync(join(dir, 'full.lst'), fullCapacityPlan().text);
      const plans = readdirSync(dir).filter((f) => f.endsWith('.lst')).sort();
      assert.ok(plans.length >= 2, 'example plans and the full plan');
      for (const planName of plans) {
        execFileSync(program, [planName], { cwd: dir, stdio: 'ignore', timeout: 30000 });
        const file = join(dir, pageName(planName.slice(0, planName.indexOf('.'))));
        assert.ok(existsSync(file), `${which} wrote no page for ${planName}`);
        checkPage(readFileSync(file, 'utf8'), readPlan(join(dir, planName)), target);
      }
    });
  });
}

describe('reading rows', () => {
  test('values are read as the browser reads the literals', () => {
    // What the program writes for a label typed with a backslash before its
    // quote; without the backslash the browser reads no row, and neither
    // does the kit.
    assert.deepEqual(parseRowLine("        nodesTable.addRow(['n1', 'C', 'O\\'Neil', 'O\\'Neil', 'box', 'x.png', '']);"),
      { table: 'nodes', row: { id: 'n1', group: 'C', text: "O'Neil", title: "O'Neil", style: 'box', image: 'x.png', url: '' },
        values: ['n1', 'C', "O'Neil", "O'Neil", 'box', 'x.png', ''] });
    assert.equal(parseRowLine("nodesTable.addRow(['n1', 'C', 'O'Neil', '', 'box', '', '']);"), null);
    assert.deepEqual(parseRowLine("linksTable.addRow(['a', 'b', 'red', 'line', 't\\\\x', '\\u00e9\\x41']);").row,
      { from: 'a', to: 'b', color: 'red', style: 'line', title: 't\\x', text: '\u00e9A' });
    // A value holding "', '" is two values to the browser: the row no longer
    // fits the columns and is reported, not shifted into the wrong fields.
    const split = parseRowLine("linksTable.addRow(['a', 'b', 'red', 'line', 'x', 'y', 'z']);");
    assert.equal(split.row, null);
    assert.equal(split.values.length, 7);
    const page = parsePage("nodesTable.addRow(['a', 'b']);\nlinksTable.addRow(['a', 'b', 'red', 'line', 'x', ''");
    assert.equal(page.malformed.length, 2);
    assert.deepEqual([page.nodes, page.links], [[], []]);
  });

  test('script lines give the host; only the kit\'s two paths count', () => {
    assert.deepEqual(parseScriptLine('    <script type="text/javascript" src="http://lab:8000/Graph/network/network.js"></script>'),
      { kind: 'network', host: 'http://lab:8000' });
    assert.deepEqual(parseScriptLine('<script type="text/javascript" src="https://www.google.com/jsapi"></script>'),
      { kind: 'loader', host: 'https://www.google.com' });
    assert.equal(parseScriptLine('<script type="text/javascript" src="http://lab/other.js"></script>'), null);
    assert.equal(placeholderImageFor('http://lab:8000/Graph/network/network.js'), 'http://lab:8000/VR/style/noimage.png');
    assert.equal(placeholderImageFor('file:///tmp/copy.htm'), undefined);
  });

  test('the picture suffix marks the class only on picture rows', () => {
    assert.equal(classOfRow({ group: 'Gate_image', style: 'image' }), 'Gate');
    assert.equal(classOfRow({ group: 'Gate_image', style: 'IMAGE' }), 'Gate');
    assert.equal(classOfRow({ group: 'Gate_image', style: 'dot' }), 'Gate_image', 'a class that is called so');
    assert.equal(classOfRow({ group: undefined, style: 'dot' }), '');
    assert.ok(!isDummyRow({ ...DUMMY_ROW }, 1), 'only the first row is the dummy');
  });
});
