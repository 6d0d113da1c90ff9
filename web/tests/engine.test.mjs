// The engine's API against the native programs, on the same generated
// inputs: the patched image byte for byte, the error texts, the check and
// the extracted font.  The page is opened from file://, as a user who saved
// it would open it.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { pathToFileURL } from 'node:url';

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
		const web = await support.call_engine(page, 'patchImage', c.image, c.font);
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
		const web = await support.call_engine(page, 'checkImage', c.image);
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
