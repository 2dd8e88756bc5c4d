// Builds the laboratory-server kit into site/ (or the folder given as the
// first argument): the paths below are the ones Plotweave pages ask for.
//
//   npm run build [-- FOLDER] [-- --plain]
//
//   site/Graph/network/network.js   vis-network's standalone bundle + links.Network
//                                   + the reader's tools (search, legend, filters,
//                                   figure export); --plain, or PLOTWEAVE_KIT_PLAIN=1,
//                                   leaves the tools out and gives the bare drawing
//   site/VR/style/noimage.png       placeholder for nodes without an image
//   site/jsapi                      stand-in for the script loader
//
// Serve the folder with any static server, e.g.
//   python3 -m http.server 8000 --directory web/site

import { mkdirSync, readFileSync, rmSync, writeFileSync, copyFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { deflateSync } from 'node:zlib';

const here = dirname(fileURLToPath(import.meta.url));
const args = process.argv.slice(2);
const plain = args.includes('--plain') || process.env.PLOTWEAVE_KIT_PLAIN === '1';
const folder = args.find((a) => !a.startsWith('--'));
const out = resolve(folder || join(here, 'site'));
const require = createRequire(import.meta.url);

const visPackage = require('vis-network/package.json');
const visBundle = require.resolve('vis-network/standalone/umd/vis-network.min.js');
const visDir = dirname(require.resolve('vis-network/package.json'));
const hangulPackage = require('es-hangul/package.json');
const hangulDir = dirname(require.resolve('es-hangul/package.json'));
const esbuild = plain ? null : require('esbuild');

rmSync(out, { recursive: true, force: true });
mkdirSync(join(out, 'Graph', 'network'), { recursive: true });
mkdirSync(join(out, 'VR', 'style'), { recursive: true });

// One classic script with no imports, since the page loads only network.js
// (and a page may be opened from a file, where nothing else can be fetched).
const parts = [
  `/* network.js: links.Network on vis-network ${visPackage.version} (Apache-2.0 or MIT, see LICENSE-vis-network-*)${
    plain ? '' : `, with es-hangul ${hangulPackage.version} (MIT, see LICENSE-es-hangul)`}. */`,
  readFileSync(visBundle, 'utf8'),
  ';',
  readFileSync(join(here, 'src', 'links-network.js'), 'utf8'),
];
if (!plain) {
  const tools = await esbuild.build({
    entryPoints: [join(here, 'src', 'tools', 'index.js')],
    bundle: true,
    format: 'iife',
    minify: true,
    target: 'es2019',
    charset: 'utf8',
    legalComments: 'none',
    write: false,
  });
  parts.push('/* The reader\'s tools (web/src/tools). */', tools.outputFiles[0].text);
}
writeFileSync(join(out, 'Graph', 'network', 'network.js'), parts.join('\n'));
for (const license of ['LICENSE-APACHE-2.0', 'LICENSE-MIT']) {
  copyFileSync(join(visDir, license), join(out, 'Graph', 'network', license.replace('LICENSE-', 'LICENSE-vis-network-')));
}
if (!plain) copyFileSync(join(hangulDir, 'LICENSE'), join(out, 'Graph', 'network', 'LICENSE-es-hangul'));

writeFileSync(join(out, 'jsapi'), readFileSync(join(here, 'src', 'jsapi.js')));
writeFileSync(join(out, 'VR', 'style', 'noimage.png'), placeholderPng(48, 48));

console.log(`kit built in ${out}${plain ? ' (plain: no reader tools)' : ''}`);

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
