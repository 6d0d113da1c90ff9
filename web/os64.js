// window.os64: the engine's JavaScript API, which the page uses and tests
// call.  Each function copies its bytes into the engine's memory, calls the
// compiled C++ and copies the result out again, so callers only ever see
// fresh Uint8Arrays and plain numbers.  README.md beside this file
// documents the API.
(function () {
	'use strict';

	let engine = null;

	// Resolves once the WebAssembly engine has been compiled and started.
	const ready = os64_engine().then(function (module) {
		engine = module;
	});

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

	function out_of_memory(length) {
		return 'not enough memory for an image of ' + length + ' bytes';
	}

	function patchImage(image, font) {
		need_engine();
		need_bytes(image, 'image');
		need_bytes(font, 'font');
		const result = with_blocks([image, font], 12, function (blocks) {
			const error = take_message(engine._os64_patch_image(
			        blocks[0], image.length, blocks[1], font.length, blocks[2]));
			if (error !== null)
				return { image: null, offset: null, checksum: null, error: error };
			const out = words(blocks[2], 3);
			return { image: bytes_at(blocks[0], image.length), offset: out[0],
			         checksum: [out[1], out[2]], error: null };
		});
		if (result === null)
			return { image: null, offset: null, checksum: null, error: out_of_memory(image.length) };
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

	window.os64 = Object.freeze({
		ready: ready,
		patchImage: patchImage,
		checkImage: checkImage,
		extractFont: extractFont,
		makeSample: makeSample,
	});
})();
