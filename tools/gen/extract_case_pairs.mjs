// Writes the edges of the case classes below U+10000 of a Unicode Character Database
// package: every pair of distinct code points joined by a simple lower-, upper- or
// title-case mapping or a simple (C, S, T) case folding, once, as "low high" in hex.
// Run once by hand, with the package installed outside the tree:
//   node tools/gen/extract_case_pairs.mjs /tmp/ucd/node_modules/@unicode/unicode-10.0.0 \
//     > tools/gen/ucd10_case_pairs.txt
import { pathToFileURL } from 'node:url';
import path from 'node:path';

const root = process.argv[2];
const sources = [
  'Simple_Case_Mapping/Lowercase',
  'Simple_Case_Mapping/Uppercase',
  'Simple_Case_Mapping/Titlecase',
  'Case_Folding/C',
  'Case_Folding/S',
  'Case_Folding/T',
];
const hex = (n) => n.toString(16).toUpperCase().padStart(4, '0');
const edges = new Set();
for (const dir of sources) {
  const url = pathToFileURL(path.join(root, dir, 'code-points.mjs'));
  const map = (await import(url.href)).default;
  for (const [from, to] of map) {
    if (typeof to !== 'number' || from === to) continue;
    if (from >= 0x10000 || to >= 0x10000) continue;
    edges.add(`${hex(Math.min(from, to))} ${hex(Math.max(from, to))}`);
  }
}
const lines = [...edges].sort();
console.log('# Simple case mappings (Lowercase, Uppercase, Titlecase) and simple case');
console.log('# foldings (status C, S, T) of the Unicode Character Database 10.0.0, limited');
console.log('# to code points below U+10000, as undirected edges "low high" in hex.');
console.log('# Source: npm package @unicode/unicode-10.0.0, extracted by extract_case_pairs.mjs.');
console.log('# Data Copyright (c) 1991-2017 Unicode, Inc.; distributed under the Unicode, Inc.');
console.log('# License Agreement - Data Files and Software (https://www.unicode.org/license.txt).');
for (const l of lines) console.log(l);
