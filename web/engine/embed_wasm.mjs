// Makes the engine into scripts for the page: Emscripten's script, which
// starts the engine, compressed by zopfli in the gzip format and written in
// base 85, in a script that hands it to os64_engine_script (os64.js); then
// the wasm, compressed and written alike, cut into parts, each in a script
// of its own that hands its part to os64_engine_part.  The browser unpacks
// and compiles the first parts while it still reads the later ones.
// Compressed, the engine takes less than half the room in the page.
// zopfli's output depends on its input alone: no name and no time.
//
//   node embed_wasm.mjs ZOPFLI ENGINE.js ENGINE.wasm OUTPUT.html
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';

import { base85 } from './base85.mjs';

// 32 KiB of the compressed wasm a part: a whole number of groups of 5.
const part_length = 32 * 1024 / 4 * 5;

const [zopfli, script, wasm, output] = process.argv.slice(2);
// 15 iterations: more make the page no smaller, and the build slower.
const pack = file => base85(execFileSync(zopfli, ['--gzip', '--i15', '-c', file],
                                         { maxBuffer: 64 << 20 }));
const packed = pack(wasm);
const scripts = ['<!-- The engine, Emscripten\'s script and the WebAssembly, gzip-compressed, in base 85: made by embed_wasm.mjs. -->',
                 '<script>os64_engine_script(\'' + pack(script) + '\');</script>'];
for (let at = 0; at < packed.length; at += part_length) {
	const last = at + part_length >= packed.length;
	scripts.push('<script>os64_engine_part(\'' + packed.slice(at, at + part_length) + '\'' +
	             (last ? ', true' : '') + ');</script>');
}
fs.writeFileSync(output, scripts.join('\n') + '\n');
