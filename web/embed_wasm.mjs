// Makes the engine's WebAssembly into a script for the page: the wasm
// compressed with gzip, in base64, as the string os64_engine_wasm, which
// os64.js unpacks with the browser's DecompressionStream.  Compressed, the
// engine takes less than half the room in the page.
//
//   node embed_wasm.mjs ENGINE.wasm OUTPUT.js
import fs from 'node:fs';
import zlib from 'node:zlib';

const [wasm, output] = process.argv.slice(2);
const packed = zlib.gzipSync(fs.readFileSync(wasm), { level: 9 }).toString('base64');
fs.writeFileSync(output, '// The engine\'s WebAssembly, gzip-compressed, in base64: ' +
                 'made by embed_wasm.mjs.\nconst os64_engine_wasm =\n\t\'' + packed + '\';\n');
