// Makes the engine's WebAssembly into scripts for the page: the wasm
// compressed by zopfli in the gzip format, written in base 85, cut into
// parts, each in a script of its own that hands its part to
// os64_engine_part (os64.js).  The browser unpacks and compiles the first
// parts while it still reads the later ones.  Compressed, the engine takes
// less than half the room in the page.  zopfli's output depends on the
// wasm alone: no name and no time.
//
//   node embed_wasm.mjs ZOPFLI ENGINE.wasm OUTPUT.html
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';

import { base85 } from './base85.mjs';

// 32 KiB of the compressed wasm a part: a whole number of groups of 5.
const part_length = 32 * 1024 / 4 * 5;

const [zopfli, wasm, output] = process.argv.slice(2);
// 15 iterations: more make the page no smaller, and the build slower.
const packed = base85(execFileSync(zopfli, ['--gzip', '--i15', '-c', wasm],
                                   { maxBuffer: 64 << 20 }));
const scripts = ['<!-- The engine\'s WebAssembly, gzip-compressed, in base 85: made by embed_wasm.mjs. -->'];
for (let at = 0; at < packed.length; at += part_length) {
	const last = at + part_length >= packed.length;
	scripts.push('<script>os64_engine_part(\'' + packed.slice(at, at + part_length) + '\'' +
	             (last ? ', true' : '') + ');</script>');
}
fs.writeFileSync(output, scripts.join('\n') + '\n');
