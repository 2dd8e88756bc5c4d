// Builds the laboratory-server kit into site/ (or the folder given as the
// first argument): the paths below are the ones Plotweave pages ask for.
//
//   npm run build [-- FOLDER] [-- --plain]
//
//   site/Graph/network/network.js   vis-network's standalone bundle + links.Network
//                                   + the reader's tools (search, legend, filters,
//                                   figure export), bundled by esbuild from src/;
//                                   --plain, or PLOTWEAVE_KIT_PLAIN=1, leaves the
//                                   tools out and gives the bare drawing
//   site/Graph/network/licenses/    the licence texts of every package in the bundle
//   site/VR/style/noimage.png       placeholder for nodes without an image
//   site/jsapi                      stand-in for the script loader
//   site/preview/client.js          plotweave-preview's client: findings panel,
//                                   redraw on save (src/preview/)
//
// Serve the folder with any static server, e.g.
//   python3 -m http.server 8000 --directory web/site

import { mkdirSync, readFileSync, readdirSync, rmSync, writeFileSync, copyFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { deflateSync } from 'node:zlib';
import { LOADER_PATH, NETWORK_PATH, PLACEHOLDER_PATH } from './src/page-contract.js';

const here = dirname(fileURLToPath(import.meta.url));
const args = process.argv.slice(2);
const plain = args.includes('--plain') || process.env.PLOTWEAVE_KIT_PLAIN === '1';
const folder = args.find((a) => !a.startsWith('--'));
const out = resolve(folder || join(here, 'site'));
const require = createRequire(import.meta.url);

const visPackage = require('vis-network/package.json');
const visBundle = require.resolve('vis-network/standalone/umd/vis-network.min.js');
const hangulPackage = require('es-hangul/package.json');
const esbuild = require('esbuild');
const version = projectVersion(join(here, '..', 'CMakeLists.txt'));

// Where an address of the page lands in the folder.
const sitePath = (address) => join(out, ...address.split('/').filter(Boolean));
const networkScript = sitePath(NETWORK_PATH);
const placeholderImage = sitePath(PLACEHOLDER_PATH);

rmSync(out, { recursive: true, force: true });
mkdirSync(dirname(networkScript), { recursive: true });
mkdirSync(dirname(placeholderImage), { recursive: true });

// One classic script with no imports, since the page loads only network.js
// (and a page may be opened from a file, where nothing else can be fetched):
// vis-network's standalone bundle, which defines the global `vis`, followed
// by the kit's modules bundled from src/kit-entry.js (src/network-entry.js
// for the plain kit). The header names the release, since servers are told
// to cache the script for a long time.
const kit = await esbuild.build({
  entryPoints: [join(here, 'src', plain ? 'network-entry.js' : 'kit-entry.js')],
  bundle: true,
  format: 'iife',
  minify: true,
  target: 'es2019',
  charset: 'utf8',
  legalComments: 'none',
  write: false,
});
const parts = [
  `/* network.js ${version} (Plotweave): links.Network on vis-network ${visPackage.version}${
    plain ? '' : `, with es-hangul ${hangulPackage.version}`}. Licences of the bundled packages: licenses/ beside this file. */`,
  readFileSync(visBundle, 'utf8'),
  ';',
  `/* links.Network${plain ? '' : ' and the reader\'s tools'} (web/src). */`,
  kit.outputFiles[0].text,
];
writeFileSync(networkScript, parts.join('\n'));

// Every package that is not a development tool ends up in the bundle (the
// standalone build carries vis-network's peers, the reader's tools carry
// theirs), so each one's licence files go with it; a plain kit carries only
// vis-network and what it needs.
const lock = JSON.parse(readFileSync(join(here, 'package-lock.json'), 'utf8'));
const plainOnly = plain ? neededBy('vis-network') : null;
for (const [path, entry] of Object.entries(lock.packages)) {
  if (path === '' || entry.dev) continue;
  const name = path.slice(path.lastIndexOf('node_modules/') + 'node_modules/'.length);
  if (plainOnly && !plainOnly.has(name)) continue;
  const dir = join(here, path);
  const texts = readdirSync(dir).filter((f) => /^(licen[cs]e|copying)/i.test(f)).sort();
  if (texts.length === 0) throw new Error(`${name} has no licence file to ship`);
  const target = join(dirname(networkScript), 'licenses', name);
  mkdirSync(target, { recursive: true });
  for (const text of texts) copyFileSync(join(dir, text), join(target, text));
}

writeFileSync(sitePath(LOADER_PATH), readFileSync(join(here, 'src', 'jsapi.js')));

// plotweave-preview's client, loaded after the network script by the pages
// the preview serves; it works with whatever tools the kit was built with.
const previewClient = await esbuild.build({
  entryPoints: [join(here, 'src', 'preview', 'client-entry.js')],
  bundle: true, format: 'iife', minify: true, target: 'es2019', charset: 'utf8', legalComments: 'none', write: false,
});
mkdirSync(join(out, 'preview'), { recursive: true });
writeFileSync(join(out, 'preview', 'client.js'),
  `/* plotweave-preview client ${version} (web/src/preview). */\n${previewClient.outputFiles[0].text}`);
writeFileSync(placeholderImage, placeholderPng(48, 48));

console.log(`kit ${version} built in ${out}${plain ? ' (plain: no reader tools)' : ''}`);

// A package of the lockfile and everything it depends on, peers included.
function neededBy(root) {
  const seen = new Set();
  const todo = [root];
  while (todo.length > 0) {
    const name = todo.pop();
    if (seen.has(name)) continue;
    seen.add(name);
    const entry = lock.packages[`node_modules/${name}`] || {};
    todo.push(...Object.keys({ ...entry.dependencies, ...entry.peerDependencies }));
  }
  return seen;
}

// The one version of the project is the one in project(... VERSION ...).
function projectVersion(cmakeLists) {
  const match = /project\(\s*\w+\s+VERSION\s+([0-9][0-9.]*)/.exec(readFileSync(cmakeLists, 'utf8'));
  if (!match) throw new Error(`no project(... VERSION ...) in ${cmakeLists}`);
  return match[1];
}

// A grey picture frame with a hill and a sun: the usual "no image" sign.
function placeholderPng(width, height) {
  const rgb = Buffer.alloc(width * height * 3);
  const set = (x, y, [r, g, b]) => {
    const i = (y * width + x) * 3;
    rgb[i] = r; rgb[i + 1] = g; rgb[i + 2] = b;
  };
  const paper = [236, 236, 236];
  const ink = [150, 150, 150];
  const shade = [190, 190, 190];
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const edge = x < 2 || y < 2 || x >= width - 2 || y >= height - 2;
      const sun = (x - width * 0.68) ** 2 + (y - height * 0.32) ** 2 <= (width * 0.1) ** 2;
      const hill = y > height * 0.82 - Math.max(0, width * 0.35 - Math.abs(x - width * 0.35)) * 0.9;
      set(x, y, edge ? ink : sun ? shade : hill && y < height - 2 ? ink : paper);
    }
  }
  // Filter byte 0 before each scan line.
  const raw = Buffer.alloc((width * 3 + 1) * height);
  for (let y = 0; y < height; y++) {
    raw[y * (width * 3 + 1)] = 0;
    rgb.copy(raw, y * (width * 3 + 1) + 1, y * width * 3, (y + 1) * width * 3);
  }
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8;  // bit depth
  header[9] = 2;  // truecolour
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header),
    chunk('IDAT', deflateSync(raw, { level: 9 })),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}

function chunk(type, data) {
  const length = Buffer.alloc(4);
  length.writeUInt32BE(data.length);
  const body = Buffer.concat([Buffer.from(type, 'ascii'), data]);
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(body));
  return Buffer.concat([length, body, crc]);
}

function crc32(buf) {
  let c = ~0;
  for (const byte of buf) {
    c ^= byte;
    for (let k = 0; k < 8; k++) c = (c >>> 1) ^ (0xedb88320 & -(c & 1));
  }
  return ~c >>> 0;
}
