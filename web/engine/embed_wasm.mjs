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

// The 85 digits, each standing for its place here: the printable ASCII
// characters but for the quotes and the backslash, which a string in a
// script cannot hold as they are, < > and &, which would read as markup,
// and ` { }, left out to make 85.  os64.js reads them with the same digits.
// Base 85 writes 4 bytes in 5 characters, where base64 takes 5 1/3.
const digits = '!#$%()*+,-./0123456789:;=?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_abcdefghijklmnopqrstuvwxyz|~';

// Every 4 bytes as 5 digits, the most significant first.  The last 1 to 3
// bytes, padded with zeros to 4, become their first 2 to 4 digits.
function base85(bytes) {
	let text = '';
	for (let at = 0; at < bytes.length; at += 4) {
		const count = Math.min(4, bytes.length - at);
		let value = 0;
		for (let i = 0; i < 4; i++)
			value = value * 256 + (i < count ? bytes[at + i] : 0);
		let group = '';
		for (let i = 0; i < 5; i++) {
			group = digits[value % 85] + group;
			value = Math.floor(value / 85);
		}
		text += group.slice(0, count + 1);
	}
	return text;
}

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
