// window.os64: the engine's JavaScript API, which the page uses and tests
// call, with the catalogs of the messages in every language.  Each
// function copies its bytes into the engine's memory, calls the compiled
// C++ and copies the result out again, so callers only ever see fresh
// Uint8Arrays and plain numbers.  README.md beside this file documents the
// API.
//
// The build makes this module a script of its own near the top of the
// page, before the scripts that carry Emscripten's script, which defines
// the factory os64_engine, and the engine's WebAssembly, both packed,
// which hand them to os64_engine_script and os64_engine_part as the
// browser reads them, and before the catalogs, which go to os64_catalogs.
// It publishes the API as window.os64, which the page's modules
// (engine_api.js) use as anyone else does.
import { format, format_number, translate, translate_plural } from './messages_format.js';

let engine = null;

function need_engine() {
	if (engine === null)
		throw new Error('the engine is not ready yet: wait for os64.ready');
}

function need_bytes(value, name) {
	if (!(value instanceof Uint8Array))
		throw new TypeError(name + ' must be a Uint8Array');
}

// Runs body with blocks of engine memory: one for each Uint8Array in
// inputs, holding a copy of its bytes, and one of extra_bytes more.  The
// blocks are freed whatever happens.  Returns null when memory runs out.
function with_blocks(inputs, extra_bytes, body) {
	const blocks = [];
	try {
		for (const bytes of inputs.concat([new Uint8Array(extra_bytes)])) {
			const block = engine._malloc(Math.max(bytes.length, 1));
			if (block === 0)
				return null;
			blocks.push(block);
			// Taken after the malloc, which may have grown the memory.
			engine.HEAPU8.set(bytes, block);
		}
		return body(blocks);
	} finally {
		for (const block of blocks)
			engine._free(block);
	}
}

function words(block, count) {
	return Array.from(new Uint32Array(engine.HEAPU8.buffer, block, count));
}

function bytes_at(block, length) {
	return engine.HEAPU8.slice(block, block + length);
}

// Reads a message the engine returned, and frees it; null for none.
function take_message(block) {
	if (block === 0)
		return null;
	const heap = engine.HEAPU8;
	const end = heap.indexOf(0, block);
	const text = new TextDecoder().decode(heap.subarray(block, end));
	engine._free(block);
	return text;
}

// Reads count messages from one block the engine returned, each ending
// in a NUL, and frees it; an empty message becomes null.
function take_messages(block, count) {
	const messages = [];
	let at = block;
	for (let i = 0; i < count; i++) {
		const end = engine.HEAPU8.indexOf(0, at);
		const text = new TextDecoder().decode(engine.HEAPU8.subarray(at, end));
		messages.push(text === '' ? null : text);
		at = end + 1;
	}
	engine._free(block);
	return messages;
}

function out_of_memory(length) {
	return format(tr('not enough memory for an image of %s bytes'),
	              format_number(catalog, length));
}

function patchImage(image, font) {
	need_engine();
	need_bytes(image, 'image');
	need_bytes(font, 'font');
	const result = with_blocks([image, font], 16, function (blocks) {
		const error = take_message(engine._os64_patch_image(
		        blocks[0], image.length, blocks[1], font.length, blocks[2]));
		const out = words(blocks[2], 4);
		if (error !== null)
			return { image: null, offset: null, checksum: null, fontFound: out[3] === 1,
			         error: error };
		return { image: bytes_at(blocks[0], image.length), offset: out[0],
		         checksum: [out[1], out[2]], fontFound: true, error: null };
	});
	if (result === null)
		return { image: null, offset: null, checksum: null, fontFound: null,
		         error: out_of_memory(image.length) };
	return result;
}

function checkImage(image) {
	need_engine();
	need_bytes(image, 'image');
	const result = with_blocks([image], 28, function (blocks) {
		const error = take_message(engine._os64_check_image(blocks[0], image.length, blocks[1]));
		if (error !== null)
			return { stored: null, computed: null, matches: null, bootCodeCrc: null,
			         is6102: null, error: error };
		const out = words(blocks[1], 7);
		return { stored: [out[0], out[1]], computed: [out[2], out[3]], matches: out[4] === 1,
		         bootCodeCrc: out[5], is6102: out[6] === 1, error: null };
	});
	if (result === null)
		return { stored: null, computed: null, matches: null, bootCodeCrc: null,
		         is6102: null, error: out_of_memory(image.length) };
	return result;
}

function extractFont(image) {
	need_engine();
	need_bytes(image, 'image');
	return with_blocks([image], 2048 + 4, function (blocks) {
		const table = blocks[1];
		const error = take_message(engine._os64_extract_font(
		        blocks[0], image.length, table, table + 2048));
		return error === null ? bytes_at(table, 2048) : null;
	});
}

function checkBackup(image, backup) {
	need_engine();
	need_bytes(image, 'image');
	need_bytes(backup, 'backup');
	const result = with_blocks([image, backup], 4, function (blocks) {
		const error = take_message(engine._os64_check_backup(
		        blocks[0], image.length, blocks[1], backup.length, blocks[2]));
		const offset = words(blocks[2], 1)[0];
		return { offset: offset !== 0xFFFFFFFF ? offset : null, error: error };
	});
	if (result === null)
		return { offset: null, error: out_of_memory(image.length + backup.length) };
	return result;
}

function makeSample() {
	need_engine();
	return with_blocks([], 8, function (blocks) {
		const block = engine._os64_make_sample(blocks[0]);
		if (block === 0)
			return null;
		const lengths = words(blocks[0], 2);
		const sample = { image: bytes_at(block, lengths[0]),
		                 font: bytes_at(block + lengths[0], lengths[1]) };
		engine._free(block);
		return sample;
	});
}

// ---- Importing fonts ------------------------------------------------------

// The largest input os64-font import reads.
const max_import_size = 64 * 1024 * 1024;
// The largest pixel size --size takes.
const max_size = 64;

// The C string of text, for the engine.
function c_string(text) {
	return new TextEncoder().encode(text + '\0');
}

// What importFont returns for a failure; size and scalable as far as
// they are known.
function import_failure(error, size = null, scalable = false, fits_at = null) {
	return { table: null, description: null, missing: null, leftOut: null, suggestion: null,
	         warnings: [], size: size, scalable: scalable, fitsAt: fits_at, error: error };
}

// Has the engine import the bytes of a font file, as os64-font import
// does, gzip and PNG included.
function engine_import(bytes, name, options) {
	const fill = options.fill;
	const inputs = [bytes, c_string(name), c_string(options.slots), c_string(options.codepage),
	                fill || new Uint8Array(0), c_string(options.fill_name)];
	// The table; the size read, whether it is scalable, the size that
	// fits, the numbers of missing characters, of those left out and of
	// those the suggested code page places, and the slots of the missing
	// ones.
	const reply_bytes = 2048 + 6 * 4 + 255 * 4;
	const result = with_blocks(inputs, reply_bytes, function (blocks) {
		const [data_block, name_block, slots_block, codepage_block, fill_block,
		       fill_name_block, reply] = blocks;
		const block = engine._os64_import_font(data_block, bytes.length, name_block,
		                                       slots_block, codepage_block, options.size,
		                                       fill ? fill_block : 0, fill_name_block, reply);
		if (block === 0)
			return null;
		const [error, missing, left_out, description, better] = take_messages(block, 5);
		const [size, scalable, fits, count, left_out_count, places] = words(reply + 2048, 6);
		const read_at = size !== 0 ? size : null;
		if (error !== null)
			return import_failure(error, read_at, scalable === 1, fits !== 0 ? fits : null);
		return { table: bytes_at(reply, 2048), description: description,
		         missing: words(reply + 2048 + 24, count), leftOut: left_out_count,
		         suggestion: better !== null ? { slots: better, places: places } : null,
		         warnings: [missing, left_out].filter(warning => warning !== null),
		         size: read_at, scalable: scalable === 1, fitsAt: null, error: null };
	});
	return result !== null ? result
	        : import_failure(format(tr('%s: not enough memory to import it'),
	                                name));
}

// Asynchronous in form only: the engine does the whole import within the
// call, and the promise it returns is settled when it returns.
async function importFont(bytes, fileName, options) {
	need_engine();
	need_bytes(bytes, 'bytes');
	if (typeof fileName !== 'string')
		throw new TypeError('fileName must be a string');
	options = options || {};
	const slots = options.slots || '';
	const codepage = options.codepage || '';
	const size = options.size || 0;
	const fill = options.fill || null;
	// TRANSLATORS: as in "they were taken from %s".
	const fill_name = options.fillName || tr('the fill table');
	if (typeof slots !== 'string')
		throw new TypeError('options.slots must be a string');
	if (typeof codepage !== 'string')
		throw new TypeError('options.codepage must be a string');
	if (!Number.isInteger(size) || size < 0 || size > max_size)
		throw new RangeError('options.size must be a whole number from 1 to ' + max_size);
	if (fill !== null)
		need_bytes(fill, 'options.fill');
	if (typeof fill_name !== 'string')
		throw new TypeError('options.fillName must be a string');

	const page = slots_codepage(slots);
	if (page.error !== null)
		return import_failure(format(tr('--slots: %s'), page.error));
	if (bytes.length > max_import_size)
		return import_failure(format(tr('%s: %s bytes, more than %s for a font ' +
		                                                'or a glyph sheet'),
		                             fileName, format_number(catalog, bytes.length),
		                             format_number(catalog, max_import_size)));
	if (fill !== null && fill.length !== 2048)
		return import_failure(format(tr('%s: %s bytes, but a font table has ' +
		                                                'exactly 2048 (256 glyphs of 8 bytes)'),
		                             fill_name, format_number(catalog, fill.length)));
	return engine_import(bytes, fileName,
	                     { slots: slots, codepage: codepage, size: size, fill: fill,
	                       fill_name: fill_name });
}

function slots_codepage(name) {
	need_engine();
	if (typeof name !== 'string')
		throw new TypeError('name must be a string');
	return with_blocks([c_string(name)], 256 * 4, function (blocks) {
		const [error, title] = take_messages(engine._os64_slots_codepage(blocks[0], blocks[1]), 2);
		if (error !== null)
			return { characters: null, title: null, size: null, error: error };
		const characters = words(blocks[1], 256);
		return { characters: characters, title: title,
		         size: characters.filter((c, slot) => slot > 0 && c !== 0).length, error: null };
	});
}

function cp437() {
	const page = slots_codepage('');
	if (page.error !== null)
		throw new Error(page.error);
	return page.characters;
}

function offeredCodepages() {
	need_engine();
	const block = engine._os64_offered_codepages();
	const list = [];
	let at = block;
	const next = function () {
		const end = engine.HEAPU8.indexOf(0, at);
		const text = new TextDecoder().decode(engine.HEAPU8.subarray(at, end));
		at = end + 1;
		return text;
	};
	for (let name = next(); name !== ''; name = next())
		list.push({ name: name, script: next(), scriptTitle: next() });
	engine._free(block);
	for (const page of list)
		page.title = slots_codepage(page.name).title;
	return list;
}

// Draws the table as a glyph sheet and writes it as a PNG file, as
// os64-font export does.
function exportSheet(table, scale) {
	need_engine();
	need_bytes(table, 'table');
	if (table.length !== 2048)
		throw new RangeError('table must be 2048 bytes long');
	if (!Number.isInteger(scale) || scale < 1 || scale > 32)
		throw new RangeError('scale must be a whole number from 1 to 32');
	const png = with_blocks([table], 4, function (blocks) {
		const block = engine._os64_sheet_png(blocks[0], scale, blocks[1]);
		if (block === 0)
			return null;
		const bytes = bytes_at(block, words(blocks[1], 1)[0]);
		engine._free(block);
		return bytes;
	});
	if (png === null)
		throw new Error(tr('not enough memory to draw the sheet'));
	return png;
}

// The digits the engine's parts are written in, as embed_wasm.mjs writes
// them, and the value of each character among them.
// ---- Messages in every language ------------------------------------------------

// The languages of the catalogs, each { tag, name }, English first, and
// the catalogs themselves, packed as the page carries them until one is
// first needed; the scripts after this one hand them to os64_catalogs.
const catalogs = { languages: [{ tag: 'en', name: 'English' }], packed: null, unpacked: null };
let catalog = null;
let language = 'en';

window.os64_catalogs = function (languages, packed) {
	catalogs.languages.push(...languages);
	catalogs.packed = packed;
	delete window.os64_catalogs;
};

function languages() {
	return catalogs.languages.map(entry => Object.assign({}, entry));
}

// Unpacks every catalog, once: a gzip-compressed JSON object of the keys
// of the messages (message_key), and for each language its plural rules
// and the translations of the messages in the keys' order, each a string,
// or a list of forms for a message with forms, or null where it is the
// English.
async function unpack_catalogs() {
	if (catalogs.unpacked !== null)
		return catalogs.unpacked;
	const stream = unpacked(from_base85(catalogs.packed));
	const all = JSON.parse(await new Response(stream).text());
	catalogs.unpacked = {};
	for (const [tag, entry] of Object.entries(all.languages)) {
		const messages = new Map();
		all.keys.forEach(function (key, i) {
			if (entry.translations[i] !== null)
				messages.set(key, entry.translations[i]);
		});
		catalogs.unpacked[tag] = { language: tag, plurals: entry.plurals, messages: messages };
	}
	return catalogs.unpacked;
}

async function setLanguage(tag) {
	if (!catalogs.languages.some(entry => entry.tag === tag))
		throw new RangeError('no catalog for the language ' + tag);
	const next = tag === 'en' ? null : (await unpack_catalogs())[tag];
	catalog = next;
	language = tag;
}

function currentLanguage() {
	return language;
}

function translateMessage(message) {
	return translate(catalog, message);
}

// This file's own messages.
const tr = translateMessage;

function translatePlural(one, many, n) {
	return translate_plural(catalog, one, many, n);
}

function formatNumber(n) {
	return format_number(catalog, n);
}

// ---- Starting the engine -------------------------------------------------------

const base85_digits = '!#$%()*+,-./0123456789:;=?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_abcdefghijklmnopqrstuvwxyz|~';
const base85_values = new Uint8Array(128);
for (let i = 0; i < base85_digits.length; i++)
	base85_values[base85_digits.charCodeAt(i)] = i;

// The bytes a part stands for: every 5 digits 4 bytes, the most
// significant first, and a last group of 2 to 4 digits 1 to 3 bytes,
// read as if the highest digit followed.
function from_base85(text) {
	const rest = text.length % 5;
	const bytes = new Uint8Array((text.length - rest) / 5 * 4 + (rest > 0 ? rest - 1 : 0));
	for (let at = 0, group = 0; at < bytes.length; group += 5) {
		let value = 0;
		for (let i = group; i < group + 5; i++)
			value = value * 85 + (i < text.length ? base85_values[text.charCodeAt(i)] : 84);
		for (let shift = 24; shift >= 0 && at < bytes.length; shift -= 8)
			bytes[at++] = value >>> shift & 0xFF;
	}
	return bytes;
}

// The stream of what the gzip data bytes unpack to.  The bytes go to the
// unpacking stream at once rather than through a Blob, whose stream the
// browser may read in another process and hand over late, while it is
// busy reading the page.
function unpacked(bytes) {
	const unpack = new DecompressionStream('gzip');
	const writer = unpack.writable.getWriter();
	writer.write(bytes).catch(() => {});
	writer.close().catch(() => {});
	return unpack.readable;
}

// Compiles the engine's WebAssembly, which the page carries
// gzip-compressed in base 85, in parts: the scripts after this one hand
// them to os64_engine_part as the browser reads the page, the last with
// last set.  Each part is unpacked and compiled as it comes, while the
// rest of the page is still being read.
function compile_engine() {
	if (typeof DecompressionStream !== 'function') {
		window.os64_engine_part = function () {};
		return Promise.reject(new Error('this browser cannot unpack it, as it lacks ' +
		                                'DecompressionStream; use a newer browser'));
	}
	const unpack = new DecompressionStream('gzip');
	const writer = unpack.writable.getWriter();
	window.os64_engine_part = function (part, last) {
		// A damaged part fails the compile, which reports it.
		writer.write(from_base85(part)).catch(() => {});
		if (last) {
			writer.close().catch(() => {});
			delete window.os64_engine_part;
		}
	};
	const wasm = new Response(unpack.readable, { headers: { 'Content-Type': 'application/wasm' } });
	const compiled = typeof WebAssembly.compileStreaming === 'function'
	        ? WebAssembly.compileStreaming(wasm)
	        : wasm.arrayBuffer().then(binary => WebAssembly.compile(binary));
	return compiled.catch(function (error) {
		throw new Error('its WebAssembly is damaged (' + error.message + ')');
	});
}

// Runs Emscripten's script, which the page carries gzip-compressed in base
// 85, once the script after this one hands it to os64_engine_script: it
// defines the factory os64_engine.  A script element made here runs as
// the page's own inline scripts do.
function load_engine_script() {
	return new Promise(function (resolve, reject) {
		window.os64_engine_script = function (packed) {
			delete window.os64_engine_script;
			new Response(unpacked(from_base85(packed))).text().then(function (text) {
				const script = document.createElement('script');
				script.textContent = text;
				document.head.append(script);
				script.remove();
				resolve();
			}, reject);
		};
	});
}

// Resolves once the WebAssembly engine has been compiled and started.
const engine_script = typeof DecompressionStream === 'function' ? load_engine_script()
                                                                 : Promise.resolve();
const ready = Promise.all([compile_engine(), engine_script]).then(function ([module]) {
	return new Promise(function (resolve, reject) {
		os64_engine({
			// The engine's messages, in the language set.
			os64_translate: translateMessage,
			os64_translate_plural: translatePlural,
			os64_number: formatNumber,
			instantiateWasm: function (imports, receive) {
				WebAssembly.instantiate(module, imports).then(function (instance) {
					receive(instance, module);
				}, reject);
				return {};
			},
		}).then(resolve, reject);
	});
}).then(function (module) {
	engine = module;
});
// Whoever waits for the engine hears of a failure; the page's scripts
// come later than its rejection may, so it is marked as heard of here.
ready.catch(function () {});

window.os64 = Object.freeze({
	ready: ready,
	patchImage: patchImage,
	checkImage: checkImage,
	checkBackup: checkBackup,
	extractFont: extractFont,
	makeSample: makeSample,
	importFont: importFont,
	exportSheet: exportSheet,
	codepage: slots_codepage,
	offeredCodepages: offeredCodepages,
	cp437: cp437,
	languages: languages,
	setLanguage: setLanguage,
	language: currentLanguage,
	translate: translateMessage,
	translatePlural: translatePlural,
	formatNumber: formatNumber,
});
