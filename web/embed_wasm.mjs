// Makes the engine's WebAssembly into scripts for the page: the wasm
// compressed with gzip, in base64, cut into parts, each in a script of its
// own that hands its part to os64_engine_part (os64.js).  The browser
// unpacks and compiles the first parts while it still reads the later ones.
// Compressed, the engine takes less than half the room in the page.
//
//   node embed_wasm.mjs ENGINE.wasm OUTPUT.html
import fs from 'node:fs';
import zlib from 'node:zlib';

// A whole number of base64 groups of four characters a part.
const part_length = 32 * 1024;

const [wasm, output] = process.argv.slice(2);
const packed = zlib.gzipSync(fs.readFileSync(wasm), { level: 9 }).toString('base64');
const scripts = ['<!-- The engine\'s WebAssembly, gzip-compressed, in base64: made by embed_wasm.mjs. -->'];
for (let at = 0; at < packed.length; at += part_length) {
	const last = at + part_length >= packed.length;
	scripts.push('<script>os64_engine_part(\'' + packed.slice(at, at + part_length) + '\'' +
	             (last ? ', true' : '') + ');</script>');
}
fs.writeFileSync(output, scripts.join('\n') + '\n');
