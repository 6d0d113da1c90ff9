// The page as a person uses it, in the browser OS64_BROWSER names.  The
// folder flow runs on the origin-private file system, which hands the page
// the same directory handles as the folder picker; the download flow runs
// where the picker is missing.  The page is served from the loopback
// address, since that file system needs an origin.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import * as support from './support.mjs';

const demo = support.demo_files();
const folder = support.scratch_folder();
const font_path = path.join(folder, 'demo.pf');
fs.writeFileSync(font_path, demo.font);

// What the native patcher leaves for the demo image and a font.
function native_patch(font) {
	const run_folder = support.scratch_folder();
	fs.writeFileSync(path.join(run_folder, 'OS64.v64'), demo.image);
	fs.writeFileSync(path.join(run_folder, 'demo.pf'), font);
	assert.equal(support.run(support.fontpatch, ['demo.pf'], run_folder).status, 0);
	const image = fs.readFileSync(path.join(run_folder, 'OS64.v64'));
	fs.rmSync(run_folder, { recursive: true });
	return image;
}
const patched = native_patch(demo.font);
const lat0 = '/usr/share/consolefonts/lat0-08.psf.gz';

let browser;
let server;
const pages = [];

before(async function () {
	browser = await support.launch();
	server = await support.serve_page();
});

after(async function () {
	await browser.close();
	await server.close();
	fs.rmSync(folder, { recursive: true });
});

// Why a test cannot run in WebKit, which classic WebDriver drives here.
const needs_picker = { webkit: 'WebDriver runs no script before the page\'s own, as the folder picker\'s stand-in must be' };
const needs_storage = { webkit: 'every WebKit page here is a browser of its own, which keeps nothing for the next' };
const needs_requests = { webkit: 'WebDriver hears of no request a page makes' };
const skip_in = reasons => ({ skip: support.cannot_run(reasons) });

// Opens the page in the browser, or in a context of it with a storage
// of its own.
async function open(before_scripts, ...args) {
	return open_in(browser, before_scripts, ...args);
}

async function open_in(where, before_scripts, ...args) {
	const page = await support.open_page(where, server.url, before_scripts, ...args);
	pages.push(page);
	return page;
}

// Opens the page with the folder picker handing it the private folder
// named card, filled with files (a name to Buffer).
async function open_with_card(card, files, before_scripts, where = browser) {
	const page = await open_in(where, function (card) {
		window.showDirectoryPicker = async function () {
			const root = await navigator.storage.getDirectory();
			return root.getDirectoryHandle(card, { create: true });
		};
	}, card);
	await page.evaluate(async function (card, files) {
		const root = await navigator.storage.getDirectory();
		const folder = await root.getDirectoryHandle(card, { create: true });
		for (const [name, base64] of Object.entries(files)) {
			const stream = await (await folder.getFileHandle(name, { create: true })).createWritable();
			await stream.write(Uint8Array.from(atob(base64), c => c.charCodeAt(0)));
			await stream.close();
		}
	}, card, Object.fromEntries(Object.entries(files).map(([k, v]) => [k, v.toString('base64')])));
	if (before_scripts)
		await page.evaluate(before_scripts);
	return page;
}

// The files in the private folder card, a name to Buffer.
async function card_files(page, card) {
	const files = await page.evaluate(async function (card) {
		const root = await navigator.storage.getDirectory();
		const folder = await root.getDirectoryHandle(card);
		const found = {};
		for await (const [name, handle] of folder.entries()) {
			const bytes = new Uint8Array(await (await handle.getFile()).arrayBuffer());
			let text = '';
			for (let i = 0; i < bytes.length; i += 0x8000)
				text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
			found[name] = btoa(text);
		}
		return found;
	}, card);
	return Object.fromEntries(Object.entries(files).map(([k, v]) => [k, Buffer.from(v, 'base64')]));
}

// Chooses the folder and the font, unless font is null, patches, and
// returns what the page says in the end.
async function patch_card(page, font = font_path) {
	if (font !== null) {
		await page.click('#choose-folder');
		await page.waitForSelector('#image-status p');
		await (await page.$('#open-font')).uploadFile(font);
		await page.waitForSelector('#font-status p');
	}
	await page.click('#patch');
	await page.waitForSelector('#patch-status p.good, #patch-status p.error');
	return page.$eval('#patch-status', box => box.innerText);
}

test('the folder flow keeps the original as OS64.bak and writes the patched image',
     skip_in(needs_picker), async function () {
	const page = await open_with_card('fresh', { 'OS64.v64': demo.image });
	const said = await patch_card(page);
	assert.match(said, /^Done\./);
	const files = await card_files(page, 'fresh');
	assert.deepEqual(Object.keys(files).sort(), ['OS64.bak', 'OS64.v64']);
	assert.ok(files['OS64.bak'].equals(demo.image));
	assert.ok(files['OS64.v64'].equals(patched), 'OS64.v64 differs from the native patch');
	assert.equal(await page.$eval('#check-verdict', e => e.textContent), 'matches');
});

test('an existing OS64.bak is left alone', skip_in(needs_picker), async function () {
	const old_backup = Buffer.from('an older backup');
	const page = await open_with_card('kept', { 'OS64.v64': demo.image, 'OS64.bak': old_backup });
	assert.match(await patch_card(page), /^Done\./);
	const files = await card_files(page, 'kept');
	assert.ok(files['OS64.bak'].equals(old_backup));
	assert.ok(files['OS64.v64'].equals(patched));
	assert.match(await page.$eval('#patch-steps', e => e.innerText), /OS64\.bak is there already/);
});

// Makes every write to OS64.v64 fail half-way, as on a full card.
function fail_image_writes() {
	const real = FileSystemFileHandle.prototype.createWritable;
	FileSystemFileHandle.prototype.createWritable = async function (...args) {
		const stream = await real.apply(this, args);
		if (this.name !== 'OS64.v64')
			return stream;
		return {
			write: async function (bytes) {
				await stream.write(bytes.subarray(0, bytes.length >> 1));
				throw new DOMException('The card is full.', 'QuotaExceededError');
			},
			close: () => stream.close(),
			abort: () => stream.abort(),
		};
	};
}

test('a write that fails part-way leaves both files as they were', skip_in(needs_picker), async function () {
	const page = await open_with_card('failing', { 'OS64.v64': demo.image }, fail_image_writes);
	const said = await patch_card(page);
	assert.match(said, /The card is full\.\n+OS64\.v64 and OS64\.bak are as they were\./);
	const files = await card_files(page, 'failing');
	assert.deepEqual(Object.keys(files), ['OS64.v64']);
	assert.ok(files['OS64.v64'].equals(demo.image));
});

// Waits until a download of that name is complete, of length bytes or,
// without a length, of a size that stays the same, and returns it.
async function downloaded(folder, name, length) {
	const file = path.join(folder, name);
	const size = () => fs.existsSync(file) ? fs.statSync(file).size : -1;
	for (let tries = 0, last = -1; tries < 200; tries++, last = size()) {
		if (length !== undefined ? size() === length : size() > 0 && size() === last)
			break;
		await new Promise(resolve => setTimeout(resolve, 50));
	}
	return fs.readFileSync(file);
}

// Chromium's folder picker, removed before the page looks for it; the
// other browsers have none.
const without_picker = support.browser_name !== 'chromium' ? null : function () {
	delete Window.prototype.showDirectoryPicker;
	delete window.showDirectoryPicker;
};

test('without the folder API: the image and a font opened, a glyph edited by keyboard, three downloads', async function () {
	const downloads = support.scratch_folder();
	const context = await browser.createBrowserContext({
		downloadBehavior: { policy: 'allow', downloadPath: downloads } });
	const page = await open_in(context, without_picker);
	const image_path = path.join(folder, 'OS64.v64');
	fs.writeFileSync(image_path, demo.image);
	assert.equal(await page.$eval('#choose-folder', e => e.hidden), true);
	await (await page.$('#open-image')).uploadFile(image_path);
	await page.waitForSelector('#image-status p');
	await (await page.$('#open-font')).uploadFile(lat0);
	await page.waitForSelector('#font-status p');
	// The cell and the pixel a script focuses, as a screen reader may, are
	// the ones Enter and Space act on.
	await page.$eval('#new-grid [data-slot="65"]', cell => cell.focus());
	await page.keyboard.press('Enter');
	assert.equal(await page.$eval('#editor-heading', e => e.textContent), 'Glyph 0x41 U+0041 A');
	await page.$eval('#editor-grid', grid => grid.querySelectorAll('button')[2 * 8 + 5].focus());
	for (const key of [' ', 'ArrowDown', ' '])
		await page.keyboard.press(key);
	const expected = native_flow(lat0);
	const table = Buffer.from(expected.table);
	table[0x41 * 8 + 2] ^= 0x04;
	table[0x41 * 8 + 3] ^= 0x04;
	await page.click('#save-table');
	assert.ok((await downloaded(downloads, 'lat0-08.pf', 2048)).equals(table), 'the .pf');
	await page.click('#save-sheet');
	const sheet = await downloaded(downloads, 'lat0-08.png');
	fs.writeFileSync(path.join(downloads, 'edited.pf'), table);
	assert.equal(support.run(support.font_tool, ['export', 'edited.pf', 'native.png', '--scale', '4'],
	                         downloads).status, 0);
	assert.ok(fs.readFileSync(path.join(downloads, 'native.png')).equals(sheet), 'the .png');
	await page.click('#patch');
	await page.waitForSelector('#patch-status p.good, #patch-status p.error');
	assert.match(await page.$eval('#patch-status', e => e.innerText), /Keep it as OS64\.bak/);
	const run_folder = support.scratch_folder();
	fs.writeFileSync(path.join(run_folder, 'OS64.v64'), demo.image);
	fs.writeFileSync(path.join(run_folder, 'edited.pf'), table);
	assert.equal(support.run(support.fontpatch, ['edited.pf'], run_folder).status, 0);
	assert.ok((await downloaded(downloads, 'OS64.v64', patched.length))
	          .equals(fs.readFileSync(path.join(run_folder, 'OS64.v64'))), 'the patched image');
	assert.ok(fs.readFileSync(image_path).equals(demo.image));
	await context.close();
	fs.rmSync(downloads, { recursive: true });
	fs.rmSync(run_folder, { recursive: true });
});

test('axe-core finds no fault as opened, with the sample, in the editor and after a patch', async function () {
	const page = await open();
	const moments = {
		'as opened': null,
		'with the sample': ['#try-sample', '#image-status p.good'],
		'in the editor': ['#new-grid [data-slot="130"]', '#editor:not([hidden])'],
		'after a patch': ['#patch', '#patch-status p.good'],
	};
	for (const [moment, step] of Object.entries(moments)) {
		if (step !== null) {
			await page.click(step[0]);
			await page.waitForSelector(step[1]);
		}
		assert.deepEqual(await support.accessibility_faults(page), [], moment);
	}
});

test('the sample button shows the whole flow, by keyboard, and fits at 200% zoom', async function () {
	const page = await open();
	await page.setViewport({ width: 640, height: 800 });
	// Tabs to a control and presses Enter on it.
	async function press(id) {
		for (let tabs = 0; tabs < 20; tabs++) {
			await page.keyboard.press('Tab');
			if (await page.evaluate(() => document.activeElement.id) === id)
				return page.keyboard.press('Enter');
		}
		assert.fail('the keyboard never reaches #' + id);
	}
	await press('try-sample');
	await page.waitForSelector('#image-status p.good');
	await press('patch');
	await page.waitForSelector('#patch-status p.good');
	assert.match(await page.$eval('#patch-steps', e => e.innerText), /at 0x2F3D1/);
	const stored = await page.$eval('#check-stored', e => e.textContent);
	const expected = patched.subarray(0x10, 0x18).toString('hex').toUpperCase().match(/../g);
	assert.equal(stored, expected.slice(0, 4).join(' ') + '  ' + expected.slice(4).join(' '));
	assert.equal(await page.$eval('#check-verdict', e => e.textContent), 'matches');
	await tab_to(page, '#new-grid [role="gridcell"]');
	await page.keyboard.press('Enter');
	await page.waitForSelector('#editor:not([hidden])');
	assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <=
	                                    document.documentElement.clientWidth),
	          'the page scrolls sideways at 200% zoom');
});

// What the command-line tools make of the demo image and a font file,
// with the missing characters taken from the image's own font and the
// import's other options: the table, and the patched image.
function native_flow(font, options = []) {
	const run_folder = support.scratch_folder();
	fs.writeFileSync(path.join(run_folder, 'OS64.v64'), demo.image);
	const steps = [[support.font_tool, 'extract', 'OS64.v64', 'builtin.pf'],
	               [support.font_tool, 'import', '--fill', 'builtin.pf', ...options, font, 'new.pf'],
	               [support.fontpatch, 'new.pf']];
	for (const [program, ...args] of steps)
		assert.equal(support.run(program, args, run_folder).status, 0);
	const result = { table: fs.readFileSync(path.join(run_folder, 'new.pf')),
	                 builtin: fs.readFileSync(path.join(run_folder, 'builtin.pf')),
	                 image: fs.readFileSync(path.join(run_folder, 'OS64.v64')) };
	fs.rmSync(run_folder, { recursive: true });
	return result;
}

test('a console font is imported by character, its missing characters marked and filled',
     skip_in(needs_picker), async function () {
	const font = '/usr/share/consolefonts/lat0-08.psf.gz';
	const expected = native_flow(font).image;
	const page = await open_with_card('unicode', { 'OS64.v64': demo.image });
	await page.click('#choose-folder');
	await page.waitForSelector('#image-status p.good');
	await page.$eval('#sample-text', e => { e.value = '\u263Ae'; });
	await (await page.$('#open-font')).uploadFile(font);
	const status_says = text => page.waitForFunction(
	        text => document.querySelector('#font-status').innerText.includes(text), {}, text);
	await status_says('lat0-08');
	const said = await page.$eval('#font-status', e => e.innerText);
	assert.match(said, /^lat0-08\.psf\.gz: PSF1 font, gzip-compressed, .* placed by its Unicode table\./);
	assert.match(said, /\n+Warning: lat0-08\.psf\.gz lacks 67 of the 255 .*U\+263A ☺ \(0x01\)/);
	assert.match(said, /; they were taken from the built-in font\.$/m);
	assert.match(await page.$eval('#sample-status', e => e.textContent),
	             /^The new font lacks U\+263A ☺ of/);
	// In red: the mark under ☺, and the frame of its cell in the table;
	// neither under e, nor around the cell of A.
	const colours = await page.evaluate(function () {
		const pixel = (id, x, y) => Array.from(document.getElementById(id).getContext('2d')
		                                       .getImageData(x, y, 1, 1).data.slice(0, 3));
		const cell = 25;
		return [pixel('new-text', 12, 27), pixel('new-text', 36, 27),
		        pixel('new-table', 1 + cell + 1, 2), pixel('new-table', 1 + cell, 1 + 4 * cell + 1)];
	});
	assert.deepEqual(colours, [[164, 22, 26], [255, 255, 255], [164, 22, 26], [255, 255, 255]]);
	assert.match(await patch_card(page, null), /^Done\./);
	assert.ok((await card_files(page, 'unicode'))['OS64.v64'].equals(expected),
	          'OS64.v64 differs from what the command-line tools make');

	// Without the built-in font's help the slots stay empty.
	await page.click('#fill');
	await status_says('; their slots are empty.');
});

test('a Cyrillic font takes the code page the import suggests, at a click, kept with the work',
     skip_in(Object.assign({}, needs_picker, needs_storage)), async function () {
	const font = '/usr/share/consolefonts/Cyr_a8x8.psf.gz';
	const expected = native_flow(font, ['--slots', 'koi8-r']);
	const context = await browser.createBrowserContext();
	const page = await open_with_card('cyrillic', { 'OS64.v64': demo.image }, null, context);
	await page.click('#choose-folder');
	await page.waitForSelector('#image-status p.good');
	assert.equal(await page.$eval('#slots', e => e.value), 'cp437');
	await (await page.$('#open-font')).uploadFile(font);
	await page.waitForSelector('#suggestion-box:not([hidden])');
	assert.match(await page.$eval('#font-status', e => e.innerText),
	             /Cyr_a8x8\.psf\.gz has 71 characters that code page 437 has no slot for, .*; --slots koi8-r would place 66 of them\.$/);
	assert.equal(await page.$eval('#use-suggestion', e => e.textContent),
	             'Use KOI8-R, Russian (koi8-r) for the menu, which places 66 more characters of the font');
	await page.click('#use-suggestion');
	await page.waitForFunction(() => document.querySelector('#font-status').innerText
	                                  .includes('placed by its Unicode table into KOI8-R.'));
	assert.equal(await page.$eval('#slots', e => e.value), 'koi8-r');
	assert.equal(await page.$eval('#suggestion-box', e => e.hidden), true);
	// The names of slots and the sample text follow the code page.
	assert.equal(await page.$eval('#new-grid [role="gridcell"]:nth-child(2)',
	                              e => e.getAttribute('aria-label')), '0x01 U+263A ☺');
	assert.deepEqual(await page.$$eval('#new-grid [role="gridcell"]', cells =>
	                         [0xE1, 0xFF].map(slot => cells[slot].getAttribute('aria-label'))),
	                 ['0xE1 U+0410 А', '0xFF U+042A Ъ']);
	assert.match(await page.$eval('#sample-text', e => e.value), /^Привет/);
	assert.match(await patch_card(page, null), /^Done\./);
	assert.ok((await card_files(page, 'cyrillic'))['OS64.v64'].equals(expected.image),
	          'OS64.v64 differs from what the command-line tools make');

	// Opened again, the kept work comes back with its code page.
	const again = await open_in(context);
	await again.waitForSelector('#kept-box:not([hidden])');
	await again.click('#kept-resume');
	assert.equal(await again.$eval('#slots', e => e.value), 'koi8-r');
	assert.equal(await again.$$eval('#new-grid [role="gridcell"]',
	                                 cells => cells[0xE1].getAttribute('aria-label')), '0xE1 U+0410 А');
	await context.close();
});

// The table drawn as the new font, read back from its canvas: a pixel
// in ink, black or red, is a set bit.
function drawn_table(page) {
	return page.evaluate(function () {
		const canvas = document.getElementById('new-table');
		const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
		const table = [];
		for (let code = 0; code < 256; code++) {
			for (let row = 0; row < 8; row++) {
				let bits = 0;
				for (let column = 0; column < 8; column++) {
					const x = 2 + (code % 16) * 25 + column * 3;
					const y = 2 + Math.floor(code / 16) * 25 + row * 3;
					if (pixels.data[(y * canvas.width + x) * 4] < 200)
						bits |= 0x80 >> column;
				}
				table.push(bits);
			}
		}
		return table;
	});
}

test('an X11 font and a TrueType font at the size typed, through the file input',
     skip_in(needs_picker), async function () {
	const cases = [
		{ card: 'pcf', font: '/usr/share/fonts/X11/misc/5x8.pcf.gz', size: null,
		  said: /^5x8\.pcf\.gz: PCF font, gzip-compressed, 1,427 glyphs of 5x8 at size 8, / },
		{ card: 'ttf', font: '/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf', size: '6',
		  said: /at size 8: the glyphs are 6×10 pixels; .*; try --size 6\.\n+Its glyphs fit at size 6/ },
	];
	for (const c of cases) {
		const expected = native_flow(c.font, c.size ? ['--size', c.size] : []);
		const page = await open_with_card(c.card, { 'OS64.v64': demo.image });
		await page.click('#choose-folder');
		await page.waitForSelector('#image-status p.good');
		await (await page.$('#open-font')).uploadFile(c.font);
		await page.waitForSelector('#font-status p');
		assert.match(await page.$eval('#font-status', e => e.innerText), c.said);
		assert.equal(await page.$eval('#size-box', e => e.hidden), c.size === null);
		if (c.size !== null) {
			assert.equal(await page.$eval('#size', e => e.value), '8');
			await page.click('#size');
			await chord(page, 'Control', 'a');
			await page.type('#size', c.size);
			await page.keyboard.press('Tab');
			await page.waitForFunction(size => document.querySelector('#font-status').innerText
			                                   .includes(' at size ' + size + ', '), {}, c.size);
		}
		assert.ok(Buffer.from(await drawn_table(page)).equals(expected.table),
		          'the table drawn differs from what os64-font import makes');
		assert.match(await patch_card(page, null), /^Done\./);
		assert.ok((await card_files(page, c.card))['OS64.v64'].equals(expected.image),
		          'OS64.v64 differs from what the command-line tools make');
	}
});

// ---- The font studio: the editor, the kept work, the downloads ------------------

// The editor's 64 pixels, row by row, as 0s and 1s; the same of a glyph
// of a table.
function editor_pixels(page) {
	return page.$$eval('#editor-grid button', buttons =>
	        buttons.map(b => b.getAttribute('aria-pressed') === 'true' ? '1' : '0').join(''));
}

function glyph_pixels(table, slot) {
	return Array.from(table.subarray(slot * 8, slot * 8 + 8),
	                  row => row.toString(2).padStart(8, '0')).join('');
}

// Presses Tab until the element focused matches selector.
async function tab_to(page, selector) {
	for (let tabs = 0; tabs < 40; tabs++) {
		await page.keyboard.press('Tab');
		if (await page.evaluate(s => document.activeElement.matches(s), selector))
			return;
	}
	assert.fail('the keyboard never reaches ' + selector);
}

async function chord(page, ...keys) {
	for (const key of keys)
		await page.keyboard.down(key);
	for (const key of keys.reverse())
		await page.keyboard.up(key);
}

test('the editor by keyboard alone, with undo, redo, copy and paste, kept for the next visit',
     skip_in(needs_storage), async function () {
	const context = await browser.createBrowserContext();
	const page = await open_in(context);
	await tab_to(page, '#try-sample');
	await page.keyboard.press('Enter');
	await page.waitForSelector('#new-grid:not([hidden])');
	await tab_to(page, '#new-grid [role="gridcell"]');
	for (const key of ['ArrowDown', 'ArrowDown', 'ArrowDown', 'ArrowDown', 'ArrowRight', 'Enter'])
		await page.keyboard.press(key);
	assert.equal(await page.$eval('#editor-heading', e => e.textContent), 'Glyph 0x41 U+0041 A');
	const table = Buffer.from(demo.font);
	const steps = [];
	// Space at the cursor, which starts at the top left; Page Down opens B
	// with the cursor where it was.
	for (const [keys, slot, row, column] of [[[' '], 0x41, 0, 0],
	                                         [['ArrowDown', 'ArrowRight', 'ArrowRight', ' '], 0x41, 1, 2],
	                                         [['PageDown', ' '], 0x42, 1, 2]]) {
		for (const key of keys)
			await page.keyboard.press(key);
		table[slot * 8 + row] ^= 0x80 >> column;
		steps.push(Buffer.from(table));
	}
	assert.equal(await page.$eval('#editor-heading', e => e.textContent), 'Glyph 0x42 U+0042 B');
	assert.equal(await editor_pixels(page), glyph_pixels(table, 0x42));
	assert.ok(Buffer.from(await drawn_table(page)).equals(table), 'the table is not redrawn');
	await chord(page, 'Control', 'z');
	await chord(page, 'Control', 'z');
	assert.ok(Buffer.from(await drawn_table(page)).equals(steps[0]), 'two undos');
	assert.equal(await page.$eval('#editor-heading', e => e.textContent), 'Glyph 0x41 U+0041 A');
	await chord(page, 'Control', 'Shift', 'z');
	await chord(page, 'Control', 'y');
	assert.ok(Buffer.from(await drawn_table(page)).equals(table), 'two redos');
	// Escape goes back to the table, at B; its copy goes into C.
	await page.keyboard.press('Escape');
	await chord(page, 'Control', 'c');
	await page.keyboard.press('ArrowRight');
	await chord(page, 'Control', 'v');
	table.copy(table, 0x43 * 8, 0x42 * 8, 0x43 * 8);
	assert.ok(Buffer.from(await drawn_table(page)).equals(table), 'the paste');
	assert.deepEqual(await page.$$eval('#new-grid [role="gridcell"]', cells => cells.slice(0x40, 0x45)
	                         .map(c => c.getAttribute('aria-label') + ': ' + c.getAttribute('aria-description'))),
	                 ['0x40 U+0040 @: ', '0x41 U+0041 A: changed by hand', '0x42 U+0042 B: changed by hand',
	                  '0x43 U+0043 C: changed by hand', '0x44 U+0044 D: ']);

	// Another font is asked for first, and Escape keeps the edits.
	await page.click('#start-builtin');
	await page.waitForSelector('#question[open]');
	assert.match(await page.$eval('#question-text', e => e.innerText),
	             /sample\.pf has edits that were not saved/);
	await page.keyboard.press('Escape');
	assert.ok(Buffer.from(await drawn_table(page)).equals(table), 'the edits are lost');

	// Opened again, the page offers the work it kept.
	const again = await open_in(context);
	await again.waitForSelector('#kept-box:not([hidden])');
	assert.match(await again.$eval('#kept-text', e => e.textContent),
	             /from sample\.pf \(.*\)\. 3 glyphs of it were changed by hand and not saved to a file\./);
	await again.click('#kept-resume');
	assert.ok(Buffer.from(await drawn_table(again)).equals(table), 'the kept work differs');
	await context.close();
});

test('mouse drags and glyph buttons on the built-in font, both downloads, and the patch',
     skip_in(needs_picker), async function () {
	const downloads = support.scratch_folder();
	const context = await browser.createBrowserContext({
		downloadBehavior: { policy: 'allow', downloadPath: downloads } });
	const page = await open_with_card('studio', { 'OS64.v64': demo.image }, null, context);
	await page.click('#choose-folder');
	await page.waitForSelector('#image-status p.good');
	await page.click('#start-builtin');
	await (await page.$('aria/0x82 U+00E9 é')).click();
	assert.equal(await page.$eval('#editor-heading', e => e.textContent), 'Glyph 0x82 U+00E9 é');
	const builtin = native_flow(font_path).builtin;
	const imported = glyph_pixels(builtin, 0x82);
	assert.equal(await editor_pixels(page), imported);

	const rows = bits => bits.match(/.{8}/g);
	const glyph_buttons = [
		['Invert', bits => bits.replace(/./g, b => b === '1' ? '0' : '1')],
		['Shift up', bits => bits.slice(8) + '00000000'],
		['Shift down', bits => '00000000' + bits.slice(0, 56)],
		['Shift left', bits => rows(bits).map(r => r.slice(1) + '0').join('')],
		['Shift right', bits => rows(bits).map(r => '0' + r.slice(0, 7)).join('')],
		['Clear', bits => '0'.repeat(64)],
		['Back to the glyph as imported', bits => imported],
	];
	for (const [name, change] of glyph_buttons) {
		const before = await editor_pixels(page);
		await (await page.$('aria/' + name)).click();
		assert.equal(await editor_pixels(page), change(before), name);
	}
	// A drag along row 4 paints with what its first pixel became; undo
	// takes the whole drag back, redo makes it again.
	await page.$eval('#editor-grid', grid => grid.scrollIntoView({ block: 'center' }));
	const box = await (await page.$('#editor-grid')).boundingBox();
	const at = column => [box.x + (column + 0.5) * box.width / 8, box.y + 4.5 * box.height / 8];
	await page.mouse.move(...at(0));
	await page.mouse.down();
	await page.mouse.move(...at(7), { steps: 3 });
	await page.mouse.up();
	const value = imported[32] === '1' ? '0' : '1';
	const dragged = imported.slice(0, 32) + value.repeat(8) + imported.slice(40);
	assert.equal(await editor_pixels(page), dragged);
	await (await page.$('aria/Undo')).click();
	assert.equal(await editor_pixels(page), imported);
	await (await page.$('aria/Redo')).click();
	assert.equal(await editor_pixels(page), dragged);

	const table = Buffer.from(builtin);
	table[0x82 * 8 + 4] = parseInt(dragged.slice(32, 40), 2);
	await (await page.$('aria/Download the font table (.pf)')).click();
	await (await page.$('aria/Download the glyph sheet (.png)')).click();
	assert.ok((await downloaded(downloads, 'builtin.pf', 2048)).equals(table), 'the .pf');
	const sheet = await downloaded(downloads, 'builtin.png');
	assert.equal(support.run(support.font_tool, ['import', 'builtin.png', 'sheet.pf'], downloads).status, 0);
	assert.ok(fs.readFileSync(path.join(downloads, 'sheet.pf')).equals(table), 'the .png');
	assert.equal(support.run(support.font_tool, ['export', 'sheet.pf', 'native.png', '--scale', '4'],
	                         downloads).status, 0);
	assert.ok(fs.readFileSync(path.join(downloads, 'native.png')).equals(sheet), 'the .png\'s bytes');
	assert.match(await patch_card(page, null), /^Done\./);
	const image = (await card_files(page, 'studio'))['OS64.v64'];
	assert.ok(image.subarray(0x2F3D1, 0x2F3D1 + 2048).equals(table), 'the table patched');
	await context.close();
	fs.rmSync(downloads, { recursive: true });
});

// ---- Patch again, restore ------------------------------------------------------------

// The demo font keeps the signature of the built-in font, and the demo
// image patched with it could be patched again as it is; not with this.
const patched_away = native_patch(support.filler(2048, 11));

test('a patched card is patched again from a copy of OS64.bak, then restored from it',
     skip_in(needs_picker), async function () {
	const expected = native_flow(lat0).image;
	const page = await open_with_card('again', { 'OS64.v64': patched_away, 'OS64.bak': demo.image });
	await page.click('#choose-folder');
	await page.waitForSelector('#image-status p.good');
	assert.match(await page.$eval('#image-status', e => e.innerText),
	             /patched already\. The OS64\.bak beside it is its original/);
	assert.equal(await page.$eval('#patch', e => e.textContent), 'Patch again from OS64.bak');
	await (await page.$('#open-font')).uploadFile(lat0);
	await page.waitForSelector('#font-status p');
	assert.match(await patch_card(page, null), /^Done\..*patched again from a copy of OS64\.bak/);
	let files = await card_files(page, 'again');
	assert.ok(files['OS64.bak'].equals(demo.image), 'OS64.bak changed');
	assert.ok(files['OS64.v64'].equals(expected),
	          'OS64.v64 differs from what the command-line tools make of OS64.bak');

	await (await page.$('aria/Restore OS64.v64 from OS64.bak')).click();
	await page.waitForSelector('#question[open]');
	assert.equal(await page.$eval('#question-yes', e => e.textContent), 'Restore');
	await page.click('#question-yes');
	await page.waitForSelector('#patch-status p.good, #patch-status p.error');
	assert.match(await page.$eval('#patch-status', e => e.innerText),
	             /^Done\. OS64\.v64 holds the original image again/);
	files = await card_files(page, 'again');
	assert.ok(files['OS64.v64'].equals(demo.image) && files['OS64.bak'].equals(demo.image));
	assert.equal(await page.$eval('#restore', e => e.hidden), true);
});

// Restores the card through the page's question, and returns what the
// page says in the end.
async function restore_card(page) {
	await page.click('#restore');
	await page.waitForSelector('#question[open]');
	await page.click('#question-yes');
	await page.waitForSelector('#patch-status p.good, #patch-status p.error');
	return page.$eval('#patch-status', box => box.innerText);
}

// A patch cut off between its two renames leaves OS64.bak alone.
test('a card with only OS64.bak gets OS64.v64 back, restored or patched, or nothing on a failure',
     skip_in(needs_picker), async function () {
	const cases = [
		{ card: 'lone-restore', act: restore_card, image: demo.image,
		  said: /^Done\. OS64\.v64 holds the original image again/ },
		{ card: 'lone-patch', image: patched, said: /^Done\..*patched again from a copy of OS64\.bak/,
		  act: async function (page) {
			await (await page.$('#open-font')).uploadFile(font_path);
			await page.waitForSelector('#font-status p');
			return patch_card(page, null);
		} },
		{ card: 'lone-full', before: fail_image_writes, act: restore_card, image: null,
		  said: /^The card is full\.\n+OS64\.v64 and OS64\.bak are as they were\.$/ },
	];
	for (const c of cases) {
		const page = await open_with_card(c.card, { 'OS64.bak': demo.image }, c.before);
		await page.click('#choose-folder');
		await page.waitForSelector('#image-status p');
		assert.match(await page.$eval('#image-status', e => e.innerText),
		             /^There is no OS64\.v64 in "lone-\w+", only its OS64\.bak: .* an unpatched image/);
		assert.match(await c.act(page), c.said, c.card);
		const files = await card_files(page, c.card);
		assert.deepEqual(Object.keys(files).sort(), c.image ? ['OS64.bak', 'OS64.v64'] : ['OS64.bak'], c.card);
		assert.ok(files['OS64.bak'].equals(demo.image), c.card);
		assert.ok(!c.image || files['OS64.v64'].equals(c.image), c.card);
	}
});

test('an OS64.bak of another image, or a restore failing part-way, leaves both files as they were',
     skip_in(needs_picker), async function () {
	const other = Buffer.from(demo.image);
	other[0x1000] ^= 1;
	const cases = [
		{ card: 'other', backup: other, act: page => patch_card(page),
		  said: /^OS64\.bak is not the original of this OS64\.v64, .*: OS64\.bak and OS64\.v64 differ at 0x1000,/ },
		{ card: 'full', backup: demo.image, before: fail_image_writes, said: /^The card is full\./,
		  act: async function (page) {
			await page.click('#choose-folder');
			await page.waitForSelector('#image-status p');
			return restore_card(page);
		} },
	];
	for (const c of cases) {
		const page = await open_with_card(c.card, { 'OS64.v64': patched_away, 'OS64.bak': c.backup },
		                                  c.before);
		const said = await c.act(page);
		assert.match(said, c.said);
		assert.match(said, /\n+OS64\.v64 and OS64\.bak are as they were\.$/);
		const files = await card_files(page, c.card);
		assert.ok(files['OS64.v64'].equals(patched_away) && files['OS64.bak'].equals(c.backup), c.card);
	}
});

test('no request leaves the page', skip_in(needs_requests), function () {
	assert.ok(pages.length >= 12);
	for (const page of pages) {
		assert.deepEqual(page.requests.filter(url => !url.startsWith('blob:')), [server.url]);
		assert.deepEqual(page.failures, []);
	}
	assert.deepEqual(server.requests, pages.map(() => '/os64-fontpatch.html'));
});
