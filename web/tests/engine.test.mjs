// The engine's API against the native programs, on the same inputs: the
// patched image byte for byte, the error texts, the check, the extracted
// font, and imported fonts with their warnings.  The page is opened from file://, as a user who saved
// it would open it.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { pathToFileURL } from 'node:url';
import { constants, crc32, deflateRawSync, deflateSync, gunzipSync, gzipSync } from 'node:zlib';

import * as support from './support.mjs';

let browser;
let page;
const demo = support.demo_files();

before(async function () {
	browser = await support.launch();
	page = await support.open_page(browser, pathToFileURL(support.page_file).href);
});

after(async function () {
	assert.deepEqual(page.failures, []);
	await browser.close();
});

// The page writes counts as its language does, 8,192 in English, where the
// command-line tools write 8192: the comparisons take the grouping out of
// the engine's texts.
function ungrouped(value) {
	if (typeof value === 'string')
		return value.replace(/(\d),(?=\d{3}(?!\d))/g, '$1');
	if (Array.isArray(value))
		return value.map(ungrouped);
	if (value !== null && typeof value === 'object' && !Buffer.isBuffer(value))
		return Object.fromEntries(Object.entries(value).map(([key, v]) => [key, ungrouped(v)]));
	return value;
}

// Runs the native patcher on image and font in a fresh folder.  Returns
// its error lines without "error: ", and the image it left.
function native_patch(image, font) {
	const folder = support.scratch_folder();
	fs.writeFileSync(path.join(folder, 'OS64.v64'), image);
	fs.writeFileSync(path.join(folder, 'f.pf'), font);
	const run = support.run(support.fontpatch, ['f.pf'], folder);
	const errors = (run.out + run.err).split('\n').filter(line => line.includes('error: '))
	        .map(line => line.slice(line.indexOf('error: ') + 7));
	const offset = /internal font at pos: 0x([0-9a-f]+)/.exec(run.out);
	const result = { status: run.status, errors: errors, offset: offset && parseInt(offset[1], 16),
	                 image: fs.readFileSync(path.join(folder, 'OS64.v64')) };
	fs.rmSync(folder, { recursive: true });
	return result;
}

const patch_cases = [
	{ name: 'the demo image and font', image: demo.image, font: demo.font },
	{ name: 'a font shorter than a table', image: support.sample_image(0x3000, 0x1234),
	  font: support.filler(100, 7) },
	{ name: 'an empty font', image: support.sample_image(0x3000, 0x1234), font: Buffer.alloc(0) },
	{ name: 'an image of exactly 4096 bytes', image: support.sample_image(0x1000, 0x101),
	  font: support.filler(2048, 8) },
	{ name: 'an image of 0x101001 bytes', image: support.sample_image(0x101001, 0x100FE1),
	  font: support.filler(31, 9) },
	{ name: 'a font of 2049 bytes', image: demo.image, font: support.filler(2049, 1) },
	{ name: 'no built-in font', image: support.sample_image(0x3000), font: demo.font },
	{ name: 'a font that runs past the end', image: support.sample_image(0x2000, 0x1FE0),
	  font: support.filler(33, 2) },
	{ name: 'an image of 0x1002 bytes', image: support.sample_image(0x1002, 0x10),
	  font: support.filler(8, 3) },
	{ name: 'an image of 0xFFC bytes', image: support.sample_image(0xFFC, 0x10),
	  font: support.filler(8, 4) },
];

for (const c of patch_cases) {
	test('patchImage as os64-fontpatch: ' + c.name, async function () {
		const native = native_patch(c.image, c.font);
		const web = ungrouped(await support.call_engine(page, 'patchImage', c.image, c.font));
		if (native.status === 0) {
			assert.equal(web.error, null);
			assert.ok(web.image.equals(native.image), 'the patched images differ');
			assert.equal(web.offset, native.offset);
			assert.deepEqual(web.checksum, [native.image.readUInt32BE(0x10),
			                                native.image.readUInt32BE(0x14)]);
		} else {
			assert.equal(web.image, null);
			assert.ok(native.errors.length > 0);
			assert.equal(web.error, native.errors.join('\n'));
		}
	});
}

// What os64-font check prints, or the reason it gives for checking nothing.
function native_check(image) {
	const folder = support.scratch_folder();
	fs.writeFileSync(path.join(folder, 'i.v64'), image);
	const run = support.run(support.font_tool, ['check', 'i.v64'], folder);
	fs.rmSync(folder, { recursive: true });
	const words = label => {
		const m = new RegExp(label + ' checksum: +([0-9A-F ]+)\n').exec(run.out);
		return m && [parseInt(m[1].slice(0, 11).replace(/ /g, ''), 16),
		             parseInt(m[1].slice(13).replace(/ /g, ''), 16)];
	};
	const crc = /boot code CRC-32: +([0-9A-F]{8}), (.*)\n/.exec(run.out);
	const refused = /os64-font: i\.v64: (.*)\n/.exec(run.err);
	return { stored: words('stored'), computed: words('computed'),
	         matches: run.out.includes('checksum matches\n'),
	         crc: crc && parseInt(crc[1], 16), is6102: crc !== null && crc[2] === 'the 6102 boot code',
	         error: run.status === 1 && refused && !run.out ? refused[1] : null };
}

function with_header_words(image, word_1, word_2) {
	const copy = Buffer.from(image);
	copy.writeUInt32BE(word_1, 0x10);
	copy.writeUInt32BE(word_2, 0x14);
	return copy;
}

const check_cases = [
	{ name: 'the demo image', image: demo.image },
	{ name: 'the patched demo image', image: native_patch(demo.image, demo.font).image },
	{ name: 'a header without checksum', image: with_header_words(demo.image, 0, 0) },
	{ name: 'a wrong checksum', image: with_header_words(demo.image, 1, 2) },
	{ name: 'an image of 0x2000 bytes', image: support.sample_image(0x2000) },
	{ name: 'an image of 0x1002 bytes', image: support.sample_image(0x1002) },
	{ name: 'an image of 2048 bytes', image: support.sample_image(0x800) },
];

for (const c of check_cases) {
	test('checkImage as os64-font check: ' + c.name, async function () {
		const native = native_check(c.image);
		const web = ungrouped(await support.call_engine(page, 'checkImage', c.image));
		assert.equal(web.error, native.error);
		if (native.error !== null)
			return;
		assert.deepEqual(web.stored, native.stored);
		assert.deepEqual(web.computed, native.computed);
		assert.equal(web.matches, native.matches);
		assert.equal(web.bootCodeCrc, native.crc);
		assert.equal(web.is6102, native.is6102);
	});
}

test('extractFont as os64-font extract', async function () {
	const images = [demo.image, native_patch(demo.image, demo.font).image,
	                support.sample_image(0x3000, 0x3000 - 2047)];
	for (const image of images) {
		const folder = support.scratch_folder();
		fs.writeFileSync(path.join(folder, 'i.v64'), image);
		const run = support.run(support.font_tool, ['extract', 'i.v64', 'o.pf'], folder);
		const web = await support.call_engine(page, 'extractFont', image);
		if (run.status === 0)
			assert.ok(web.equals(fs.readFileSync(path.join(folder, 'o.pf'))));
		else
			assert.equal(web, null);
		fs.rmSync(folder, { recursive: true });
	}
});

test('makeSample makes what os64-make-demo writes', async function () {
	const sample = await support.call_engine(page, 'makeSample');
	assert.ok(sample.image.equals(demo.image), 'the sample images differ');
	assert.ok(sample.font.equals(demo.font), 'the sample fonts differ');
});

// What os64-font import makes of the file name holding bytes, run in a
// fresh folder with the fill table, if any, as fill.pf: the table, the
// line about what it read, and its warnings and error without the
// program's prefix.
function native_import(name, bytes, { slots, codepage, size, fill } = {}) {
	const folder = support.scratch_folder();
	fs.writeFileSync(path.join(folder, name), bytes);
	const args = ['import'];
	if (slots)
		args.push('--slots', slots);
	if (codepage)
		args.push('--codepage', codepage);
	if (size)
		args.push('--size', String(size));
	if (fill) {
		fs.writeFileSync(path.join(folder, 'fill.pf'), fill);
		args.push('--fill', 'fill.pf');
	}
	const run = support.run(support.font_tool, args.concat([name, 'out.pf']), folder, 'utf8');
	const lines = run.err.split('\n').filter(line => line !== '');
	const warnings = lines.filter(line => line.startsWith('os64-font: warning: '));
	const result = {
		table: run.status === 0 ? fs.readFileSync(path.join(folder, 'out.pf')) : null,
		description: run.status === 0 ? run.out.split('\n')[0] : null,
		warnings: warnings.map(line => line.slice('os64-font: warning: '.length)),
		error: run.status === 0 ? null : lines.filter(line => !warnings.includes(line))
		        .map(line => line.slice('os64-font: '.length)).join('\n'),
	};
	fs.rmSync(folder, { recursive: true });
	return result;
}

async function web_import(name, bytes, { slots, codepage, size, fill } = {}) {
	return ungrouped(await support.call_engine(page, 'importFont', bytes, name,
	                                           { slots: slots, codepage: codepage, size: size,
	                                             fill: fill, fillName: 'fill.pf' }));
}

const consolefonts = '/usr/share/consolefonts';
const lat0 = fs.readFileSync(path.join(consolefonts, 'lat0-08.psf.gz'));
const cp850 = fs.readFileSync(path.join(consolefonts, 'cp850-8x8.psf.gz'));
const lat0_table = native_import('lat0-08.psf.gz', lat0).table;
const sheet = (function () {
	const folder = support.scratch_folder();
	fs.writeFileSync(path.join(folder, 'f.pf'), lat0_table);
	support.run(support.font_tool, ['export', '--scale', '2', '--grid', 'f.pf', 's.png'], folder);
	const png = fs.readFileSync(path.join(folder, 's.png'));
	fs.rmSync(folder, { recursive: true });
	return png;
})();

// A PNG file of the chunks given, each [type, data].
function png_file(chunks) {
	return Buffer.concat([Buffer.from([0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A]),
	                      ...chunks.map(function ([type, data]) {
		const out = Buffer.alloc(data.length + 12);
		out.writeUInt32BE(data.length);
		out.write(type, 4);
		data.copy(out, 8);
		out.writeUInt32BE(crc32(out.subarray(4, 8 + data.length)), 8 + data.length);
		return out;
	})]);
}

// A sheet of 128x128 random pixels in the PNG colour type and bit depth
// given, its chunks before the pixels besides: every colour and degree of
// transparency, so that the table depends on the very values stored, and
// the page must decode them as os64-font does.
function random_sheet(colour_type, depth, chunks = []) {
	const channels = { 0: 1, 2: 3, 3: 1, 4: 2, 6: 4 }[colour_type];
	const row = 1 + Math.ceil(128 * channels * depth / 8);
	const rows = support.filler(128 * row, colour_type * 32 + depth);
	for (let y = 0; y < 128; y++)
		rows[y * row] = 0;
	const header = Buffer.from([0, 0, 0, 128, 0, 0, 0, 128, depth, colour_type, 0, 0, 0]);
	return png_file([['IHDR', header], ...chunks, ['IDAT', deflateSync(rows)],
	                 ['IEND', Buffer.alloc(0)]]);
}

// A Windows FON font of 8x8 glyphs for the printable ASCII characters, in
// the OEM character set, taken from table: an NE executable whose one
// resource is the FNT font.
function windows_fon(table) {
	const first = 0x20, last = 0x7E, count = last - first + 1;
	const bits_at = 118 + (count + 1) * 4;
	const fnt = Buffer.alloc(bits_at + count * 8 + 4);
	fnt.writeUInt16LE(0x200, 0);
	fnt.writeUInt32LE(fnt.length, 2);
	// 6 points at 96 dpi are 8 pixels; the ascent is 7; OEM character set.
	[[68, 6], [70, 96], [72, 96], [74, 7], [86, 8], [88, 8], [91, 8], [93, 8], [99, 1]]
	        .forEach(([at, value]) => fnt.writeUInt16LE(value, at));
	fnt.writeUInt8(255, 85);
	fnt.set([first, last, 0, 0], 95);
	fnt.writeUInt32LE(fnt.length - 4, 105);
	fnt.write('T8\0', fnt.length - 4);
	for (let i = 0; i <= count; i++) {
		fnt.writeUInt16LE(8, 118 + i * 4);
		fnt.writeUInt16LE(bits_at + Math.min(i, count - 1) * 8, 120 + i * 4);
	}
	table.copy(fnt, bits_at, first * 8, (last + 1) * 8);
	// The MZ and NE headers, and the resource table: 16-byte units, one
	// RT_FONT resource at 0xA0.
	const fon = Buffer.alloc(0xA0 + fnt.length);
	fon.write('MZ', 0);
	fon.writeUInt32LE(0x40, 0x3C);
	fon.write('NE', 0x40);
	fon.writeUInt16LE(0x40, 0x40 + 0x24);
	fon.writeUInt16LE(0x58, 0x40 + 0x26);
	[4, 0x8008, 1, 0, 0, 0xA0 >> 4, (fnt.length + 15) >> 4]
	        .forEach((value, i) => fon.writeUInt16LE(value, 0x80 + i * 2));
	fnt.copy(fon, 0xA0);
	return fon;
}

// A TrueType font without hinting instructions, which FreeType renders
// with its autohinter: DejaVu Sans Mono with its programs hidden.
function unhinted(font) {
	const copy = Buffer.from(font);
	for (let i = 0; i < copy.readUInt16BE(4); i++) {
		const entry = 12 + i * 16;
		const tag = copy.toString('latin1', entry, entry + 4);
		if (tag === 'maxp')
			copy.writeUInt16BE(0, copy.readUInt32BE(entry + 8) + 26);
		else if (['fpgm', 'prep', 'cvt '].includes(tag))
			copy.write('zz', entry);
	}
	return copy;
}

const x11 = '/usr/share/fonts/X11/misc/';
const ttf = '/usr/share/fonts/truetype/';
const mono = fs.readFileSync(ttf + 'dejavu/DejaVuSansMono.ttf');

const import_cases = [
	{ file: 'lat0-08.psf.gz', bytes: lat0 },
	{ file: 'lat0-08.psf', bytes: gunzipSync(lat0) },
	{ file: 'cp850-8x8.psf.gz', bytes: cp850 },
	{ file: 'cp850-8x8.psf.gz', bytes: cp850, codepage: 'cp850' },
	{ file: 'sheet.png', bytes: sheet },
	{ file: 'rgba.png', bytes: random_sheet(6, 8) },
	{ file: 'grey-alpha.png', bytes: random_sheet(4, 8) },
	{ file: 'rgba16.png', bytes: random_sheet(6, 16, [['gAMA', Buffer.from([0, 0, 0xB1, 0x8F])],
	                                                  ['tEXt', Buffer.from('Title\0sheet')]]) },
	{ file: 'palette.png', bytes: random_sheet(3, 8, [['PLTE', support.filler(768, 3)],
	                                                  ['tRNS', support.filler(256, 4)]]) },
	{ file: 'grey2.png', bytes: random_sheet(0, 2, [['tRNS', Buffer.from([0, 1])]]) },
	{ file: 'rgb.png', bytes: random_sheet(2, 8, [['tRNS', Buffer.from([0, 9, 0, 8, 0, 7])]]) },
	{ file: 'raw.pf', bytes: lat0_table, codepage: 'koi8-r' },
	{ file: 'lat0-08.psf.gz', bytes: lat0, fill: demo.font },
	{ file: 'lat0-08.psf.gz', bytes: lat0, fill: demo.font.subarray(0, 100) },
	{ file: 'lat0-08.psf.gz', bytes: lat0, codepage: 'cp850' },
	{ file: 'raw.pf', bytes: lat0_table, codepage: 'nosuch' },
	{ file: 'raw.pf', bytes: lat0_table, codepage: 'utf-8' },
	{ file: 'lat0-16.psf.gz', bytes: fs.readFileSync(path.join(consolefonts, 'lat0-16.psf.gz')) },
	{ file: 'empty.pf', bytes: Buffer.alloc(0) },
	{ file: 'empty.gz', bytes: gzipSync(Buffer.alloc(0)) },
	{ file: 'cut.psf.gz', bytes: lat0.subarray(0, lat0.length >> 1) },
	{ file: 'zeros.gz', bytes: gzipSync(Buffer.alloc((16 << 20) + 1)) },
	// Damaged files, told apart by zlib's and libpng's own reasons.
	{ file: 'damaged.psf.gz', bytes: Buffer.concat([lat0.subarray(0, 40), Buffer.alloc(8, 0xFF),
	                                                lat0.subarray(48)]) },
	{ file: 'checksum.psf.gz', bytes: Buffer.concat([lat0.subarray(0, -8), Buffer.alloc(8)]) },
	{ file: 'trailing.psf.gz', bytes: Buffer.concat([lat0, Buffer.from('trailing bytes')]) },
	{ file: 'cut.png', bytes: sheet.subarray(0, sheet.length - 40) },
	{ file: 'crc.png', bytes: Buffer.concat([sheet.subarray(0, 29), Buffer.alloc(4),
	                                         sheet.subarray(33)]) },
	{ file: 'gama-first.png', bytes: Buffer.concat([
		png_file([['gAMA', Buffer.from([0, 0, 0xB1, 0x8F])]]), random_sheet(0, 8).subarray(8)]) },
	{ file: 'huge.png', bytes: png_file([['IHDR', Buffer.from([0, 1, 0, 0, 0, 1, 0, 0, 8, 0, 0, 0, 0])],
	                                     ['IDAT', deflateSync(Buffer.alloc(1))]]) },
	// The fonts os64-font reads through FreeType.
	...['5x7.pcf.gz', '5x8.pcf.gz', '4x6.pcf.gz', '6x13.pcf.gz', '5x7-ISO8859-2.pcf.gz']
	        .map(file => ({ file: file, bytes: fs.readFileSync(x11 + file) })),
	{ file: '5x8.pcf', bytes: gunzipSync(fs.readFileSync(x11 + '5x8.pcf.gz')) },
	{ file: 'misaki_gothic.ttf', bytes: fs.readFileSync(ttf + 'misaki/misaki_gothic.ttf') },
	{ file: 'DejaVuSansMono.ttf', bytes: mono, size: 6 },
	{ file: 'DejaVuSansMono.ttf', bytes: mono, size: 8 },
	{ file: 'DejaVuSansMono.ttf', bytes: mono },
	{ file: 'DejaVuSansMono.ttf', bytes: mono, size: 6, codepage: 'cp850' },
	{ file: 'unhinted.ttf', bytes: unhinted(mono), size: 6 },
	{ file: 'DejaVuSans-Bold.ttf', bytes: fs.readFileSync(ttf + 'dejavu/DejaVuSans-Bold.ttf'),
	  size: 4 },
	{ file: 'ascii.fon', bytes: windows_fon(lat0_table) },
	{ file: 'smalle.fon', bytes: fs.readFileSync('/usr/share/wine/fonts/smalle.fon') },
	{ file: 'a.bdf', bytes: Buffer.from('STARTFONT 2.1\n') },
	{ file: 'notes.txt', bytes: Buffer.from('hello') },
	// Fonts for other scripts, in the code pages of their scripts.
	...[['Cyr_a8x8.psf.gz', 'koi8-r'], ['iso08.f08.psf.gz', 'iso-8859-8'],
	    ['iso07.f08.psf.gz', 'cp737'], ['iso05.f08.psf.gz', 'cp866']]
	        .map(([file, slots]) => ({ file: file, slots: slots,
	                                   bytes: fs.readFileSync(path.join(consolefonts, file)) })),
	{ file: 'Cyr_a8x8.psf.gz', bytes: fs.readFileSync(path.join(consolefonts, 'Cyr_a8x8.psf.gz')) },
	{ file: 'misaki_gothic.ttf', bytes: fs.readFileSync(ttf + 'misaki/misaki_gothic.ttf'),
	  slots: 'jis-x0201' },
	{ file: '5x8.pcf.gz', bytes: fs.readFileSync(x11 + '5x8.pcf.gz'), slots: 'cp866' },
	{ file: 'lat0-08.psf.gz', bytes: lat0, slots: 'cp866', fill: demo.font },
	{ file: 'cp850-8x8.psf.gz', bytes: cp850, slots: 'iso-8859-15', codepage: 'cp850' },
	{ file: 'raw.pf', bytes: lat0_table, slots: 'nosuch' },
];

for (const c of import_cases) {
	const options = (c.slots ? ' --slots ' + c.slots : '') +
	                (c.codepage ? ' --codepage ' + c.codepage : '') +
	                (c.size ? ' --size ' + c.size : '') +
	                (c.fill ? ' --fill of ' + c.fill.length + ' bytes' : '');
	test('importFont as os64-font import' + options + ': ' + c.file, async function () {
		const native = native_import(c.file, c.bytes, c);
		const web = await web_import(c.file, c.bytes, c);
		assert.deepEqual(web.warnings, native.warnings);
		// The page knows the code pages of its table, not all iconv's, and says so.
		const unknown = /^(.*unknown code page '[^']*') \(the names 'iconv -l' lists can be used\)$/
		        .exec(native.error);
		if (unknown !== null)
			assert.equal(web.error, unknown[1] + ' (the page knows the code pages its lists name)');
		else
			assert.equal(web.error, native.error);
		assert.equal(web.description, native.description);
		if (native.table === null)
			return assert.equal(web.table, null);
		assert.ok(web.table.equals(native.table), 'the tables differ');
		// The missing slots are those the warning counts and begins with, and
		// the characters left out and the code page suggested those of the other.
		const lacks = native.warnings.find(warning => / lacks \d+ of/.test(warning)) || '';
		const counted = /lacks (\d+) of/.exec(lacks || 'lacks 0 of');
		assert.equal(web.missing.length, Number(counted[1]));
		for (const slot of web.missing.slice(0, 6))
			assert.ok(lacks.includes('(0x' + slot.toString(16).toUpperCase().padStart(2, '0') + ')'));
		const left_out = / has (\d+) characters? that /.exec(native.warnings.join('\n'));
		assert.equal(web.leftOut, left_out ? Number(left_out[1]) : 0);
		const better = /--slots (\S+) would place (?:(\d+) of them|it)$/.exec(native.warnings.join('\n'));
		assert.deepEqual(web.suggestion, better && { slots: better[1], places: Number(better[2] || 1) });
	});
}

test('exportSheet writes what os64-font export writes, and import reads it back', async function () {
	const folder = support.scratch_folder();
	fs.writeFileSync(path.join(folder, 'f.pf'), lat0_table);
	for (const scale of [1, 3, 4, 32]) {
		const run = support.run(support.font_tool, ['export', '--scale', String(scale), 'f.pf',
		                                            scale + '.png'], folder);
		assert.equal(run.status, 0, run.err);
		const web = await support.call_engine(page, 'exportSheet', lat0_table, scale);
		assert.ok(web.equals(fs.readFileSync(path.join(folder, scale + '.png'))), 'scale ' + scale);
		assert.ok((await web_import('s.png', web)).table.equals(lat0_table), 'scale ' + scale);
	}
	fs.rmSync(folder, { recursive: true });
});

// A gzip file of mib MiB of zeros: one MiB compressed, ending on a byte
// boundary so that copies of it join, repeated, then the end.
function gzip_bomb(mib) {
	const zeros = Buffer.alloc(1 << 20);
	let crc = 0;
	for (let i = 0; i < mib; i++)
		crc = crc32(zeros, crc);
	const trailer = Buffer.alloc(8);
	trailer.writeUInt32LE(crc);
	trailer.writeUInt32LE(mib * (1 << 20) % 2 ** 32, 4);
	const piece = deflateRawSync(zeros, { finishFlush: constants.Z_SYNC_FLUSH });
	return Buffer.concat([Buffer.from([0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3]),
	                      ...Array(mib).fill(piece), deflateRawSync(Buffer.alloc(0)), trailer]);
}

test('a gzip bomb of 2 GiB is refused as os64-font import refuses it, within 1 s and 64 MiB', async function (t) {
	const bomb = gzip_bomb(2048);
	const native = native_import('bomb.psf.gz', bomb);
	assert.match(native.error, /^bomb\.psf\.gz: gzip data that decompresses to more than 16777216 bytes$/);
	// The bytes are put into the page first, as handing them over takes
	// memory of its own.
	await page.evaluate(function (base64) {
		window.bomb = Uint8Array.from(atob(base64), c => c.charCodeAt(0));
	}, bomb.toString('base64'));
	const before = support.browser_memory(browser);
	let most = before;
	const watch = setInterval(() => { most = Math.max(most, support.browser_memory(browser)); }, 25);
	const web = await page.evaluate(async function () {
		const start = performance.now();
		const result = await os64.importFont(window.bomb, 'bomb.psf.gz');
		return { time: performance.now() - start, error: result.error };
	});
	clearInterval(watch);
	const grown = Math.max(most, support.browser_memory(browser)) - before;
	t.diagnostic('gzip bomb of ' + bomb.length + ' bytes: refused after ' + web.time.toFixed(0) +
	             ' ms, the browser\'s memory grew by ' + (grown / 2 ** 20).toFixed(1) + ' MiB');
	assert.equal(ungrouped(web.error), native.error);
	assert.ok(web.time <= 1000);
	assert.ok(grown <= 64 * 2 ** 20);
});

test('importFont knows every code page the page suggests, as os64-font import does', async function () {
	const html = fs.readFileSync(new URL('../page.html', import.meta.url), 'utf8');
	const names = Array.from(html.matchAll(/<option value="([^"]+)"[^>]*>/g), m => m[1]);
	assert.ok(names.length >= 10);
	for (const codepage of names) {
		const native = native_import('raw.pf', lat0_table, { codepage });
		const web = await web_import('raw.pf', lat0_table, { codepage });
		assert.equal(web.error, null, codepage);
		assert.ok(web.table.equals(native.table), 'the tables differ for ' + codepage);
		assert.deepEqual(web.warnings, native.warnings);
	}
});

test('every code page offered for the menu lays out fonts as os64-font import --slots does', async function () {
	const offered = await page.evaluate(() => os64.offeredCodepages());
	assert.ok(offered.length >= 40);
	assert.deepEqual(offered.slice(0, 1), [{ name: 'cp437', script: 'latin',
	                                         scriptTitle: 'Latin: Western Europe',
	                                         title: 'code page 437' }]);
	const misaki = fs.readFileSync(ttf + 'misaki/misaki_gothic.ttf');
	for (const { name } of offered) {
		for (const [file, bytes] of [['lat0-08.psf.gz', lat0], ['misaki_gothic.ttf', misaki]]) {
			const native = native_import(file, bytes, { slots: name, fill: demo.font });
			const web = await web_import(file, bytes, { slots: name, fill: demo.font });
			assert.equal(web.error, null, name);
			assert.ok(web.table.equals(native.table), 'the tables differ for ' + name);
			assert.deepEqual(web.warnings, native.warnings);
		}
	}
});

test('cp437 is what iconv makes of code page 437, with its graphic characters', async function () {
	const characters = await support.call_engine(page, 'cp437');
	const bytes = Buffer.from(Array.from({ length: 256 }, (_, i) => i));
	const words = execFileSync('iconv', ['-f', 'CP437', '-t', 'UTF-32BE'], { input: bytes });
	for (let slot = 0x20; slot < 256; slot++)
		if (slot !== 0x7F)
			assert.equal(characters[slot], words.readUInt32BE(slot * 4), 'slot ' + slot);
	assert.deepEqual([characters[0], characters[1], characters[0x1F], characters[0x7F]],
	                 [0, 0x263A, 0x25BC, 0x2302]);
});
