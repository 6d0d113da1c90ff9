// The page: the card's folder (or its image, or the sample), the new font,
// the patch and the check.  It moves bytes and draws; every patch, checksum
// and check comes from window.os64, the same C++ code as the command-line
// tools.
(function () {
	'use strict';

	const image_name = 'OS64.v64';
	const backup_name = 'OS64.bak';

	function $(id) {
		return document.getElementById(id);
	}

	// What the page holds: where the image came from ('folder', 'file' or
	// 'sample'), the folder's handle, the image as last read, its built-in
	// font or null, the font file chosen ({ bytes, name }), the pixel size
	// asked for it (null for the one it is read at by default), the font
	// made of it ({ bytes, missing, filled }), and the number of the latest
	// import, whose result alone counts.
	const state = {
		source: null,
		folder: null,
		image: null,
		builtin: null,
		font_file: null,
		size: null,
		font: null,
		imports: 0,
		importing: Promise.resolve(),
		busy: false,
	};

	// The slot of every character a font table draws, the lowest where
	// code page 437 has a character twice; set once the engine is ready.
	let slot_of = null;

	const can_use_folders = typeof window.showDirectoryPicker === 'function';

	// ---- Messages -----------------------------------------------------

	// Replaces what a status area says with one paragraph per line; kind
	// 'error' makes it an alert, which screen readers announce at once.
	function say(area, lines, kind) {
		const box = $(area);
		box.replaceChildren();
		for (const line of [].concat(lines)) {
			const p = document.createElement('p');
			p.textContent = line;
			if (kind === 'error') {
				p.className = 'error';
				p.setAttribute('role', 'alert');
			} else if (kind === 'good') {
				p.className = 'good';
			}
			box.append(p);
		}
	}

	function hex(value, digits) {
		return value.toString(16).toUpperCase().padStart(digits, '0');
	}

	// Eight bytes as the command-line tools print them: "01 B9 09 28  8D D1 CE 54".
	function checksum_text(words) {
		const bytes = words.map(w => hex(w, 8).match(/../g).join(' '));
		return bytes.join('  ');
	}

	function describe_failure(error) {
		return error && error.message ? error.message : String(error);
	}

	// ---- Drawing --------------------------------------------------------

	const glyph_scale = 3;
	const glyph_size = 8 * glyph_scale;
	const cell = glyph_size + 1;
	const ink = '#1a1a1a';
	const paper = '#ffffff';
	const grid = '#c8c8c8';
	const marked = '#a4161a';
	const marked_paper = '#fbe3e4';

	function draw_glyph(context, table, code, x, y) {
		for (let row = 0; row < 8; row++) {
			const bits = table[code * 8 + row];
			for (let column = 0; column < 8; column++)
				if (bits & (0x80 >> column))
					context.fillRect(x + column * glyph_scale, y + row * glyph_scale,
					                 glyph_scale, glyph_scale);
		}
	}

	function count(n, one, many) {
		return n + ' ' + (n === 1 ? one : many);
	}

	// Draws the 256 glyphs as 16 rows of 16, in slot order, with a grid
	// between them.  The cells of the characters the font lacks (a Set of
	// slots) are tinted and framed in red, and what they hold, taken from
	// another font, is drawn in red.
	function draw_table(canvas, table, label, missing) {
		const size = 16 * cell + 1;
		canvas.width = size;
		canvas.height = size;
		const context = canvas.getContext('2d');
		context.fillStyle = grid;
		context.fillRect(0, 0, size, size);
		for (let code = 0; code < 256; code++) {
			const x = 1 + (code % 16) * cell;
			const y = 1 + Math.floor(code / 16) * cell;
			const lacking = missing.has(code);
			context.fillStyle = lacking ? marked_paper : paper;
			context.fillRect(x, y, glyph_size, glyph_size);
			if (lacking) {
				context.strokeStyle = marked;
				context.lineWidth = 2;
				context.strokeRect(x + 1, y + 1, glyph_size - 2, glyph_size - 2);
			}
			context.fillStyle = lacking ? marked : ink;
			draw_glyph(context, table, code, x, y);
		}
		canvas.setAttribute('aria-label', label);
	}

	function clear_canvas(canvas, label) {
		canvas.width = 0;
		canvas.height = 0;
		canvas.setAttribute('aria-label', label);
	}

	// "U+00E9 é", as os64-font names a character.
	function character_name(code) {
		return 'U+' + code.toString(16).toUpperCase().padStart(4, '0') + ' ' +
		       String.fromCodePoint(code);
	}

	// The distinct characters of a list, named and joined.
	function character_list(codes) {
		return Array.from(new Set(codes), character_name).join(', ');
	}

	// Draws text one character a glyph, as the menu would: each character
	// with the glyph of its slot in code page 437.  A character the font
	// lacks (missing, a Set of slots) is drawn in red and underlined; one
	// code page 437 lacks is drawn as a red box, as os64-font show draws it.
	// Returns the characters of each kind.
	function draw_text(canvas, table, text, missing, what) {
		const characters = Array.from(text, c => c.codePointAt(0));
		const width = Math.max(characters.length, 1) * glyph_size;
		canvas.width = width;
		canvas.height = glyph_size + 6;
		const context = canvas.getContext('2d');
		context.fillStyle = paper;
		context.fillRect(0, 0, width, canvas.height);
		const lacking = [];
		const unknown = [];
		characters.forEach(function (code, i) {
			const x = i * glyph_size;
			const slot = slot_of.get(code);
			if (slot === undefined) {
				unknown.push(code);
				context.strokeStyle = marked;
				context.lineWidth = 2;
				context.strokeRect(x + 3, 3, glyph_size - 6, glyph_size - 6);
				return;
			}
			const lacks = missing.has(slot);
			context.fillStyle = lacks ? marked : ink;
			draw_glyph(context, table, slot, x, 0);
			if (lacks) {
				lacking.push(code);
				context.fillRect(x + 1, glyph_size + 2, glyph_size - 2, 3);
			}
		});
		let label = '"' + text + '" set in ' + what;
		if (lacking.length > 0)
			label += '; underlined, as the font lacks them: ' + character_list(lacking);
		if (unknown.length > 0)
			label += '; drawn as boxes, as code page 437 lacks them: ' + character_list(unknown);
		canvas.setAttribute('aria-label', label);
		return { lacking: lacking, unknown: unknown };
	}

	// The table the menu shows after the patch: the new font over the start
	// of the built-in one.
	function new_table() {
		const table = new Uint8Array(2048);
		if (state.builtin !== null)
			table.set(state.builtin);
		table.set(state.font.bytes);
		return table;
	}

	function redraw_fonts() {
		const text = $('sample-text').value;
		const none = new Set();
		let sample = null;
		if (state.builtin !== null) {
			draw_table($('builtin-table'), state.builtin, 'The 256 glyphs of the built-in font',
			           none);
			sample = draw_text($('builtin-text'), state.builtin, text, none, 'the built-in font');
		} else {
			clear_canvas($('builtin-table'), 'No built-in font to show');
			clear_canvas($('builtin-text'), '');
		}
		if (state.font !== null) {
			const table = new_table();
			const missing = new Set(state.font.missing);
			let label = 'The 256 glyphs of the new font';
			if (missing.size > 0)
				label += '; ' + count(missing.size, 'character', 'characters') +
				         ' it lacks, framed in red, ' +
				         (state.font.filled ? 'with the built-in font\'s glyphs'
				                            : 'left empty');
			draw_table($('new-table'), table, label, missing);
			sample = draw_text($('new-text'), table, text, missing, 'the new font');
		} else {
			clear_canvas($('new-table'), 'No font chosen yet');
			clear_canvas($('new-text'), '');
		}
		const lines = [];
		if (sample !== null && sample.lacking.length > 0)
			lines.push('The new font lacks ' + character_list(sample.lacking) + ' of the ' +
			           'sample text, underlined in red' + (state.font.filled
			                   ? ' and drawn with the built-in font\'s glyphs.'
			                   : ': the menu shows a blank for each.'));
		if (sample !== null && sample.unknown.length > 0)
			lines.push('Code page 437 lacks ' + character_list(sample.unknown) + ', drawn as ' +
			           'a red box: the menu cannot show it.');
		$('sample-status').textContent = lines.join(' ');
	}

	// ---- The check panel --------------------------------------------------

	function show_check(image, subject) {
		$('check-subject').textContent = subject;
		const check = os64.checkImage(image);
		if (check.error !== null) {
			$('check-result').hidden = true;
			$('check-subject').textContent = subject + ' It cannot be checked: ' +
			                                 check.error + '.';
			return check;
		}
		$('check-stored').textContent = checksum_text(check.stored);
		$('check-computed').textContent = checksum_text(check.computed);
		let verdict = 'matches';
		if (!check.matches)
			verdict = check.stored[0] === 0 && check.stored[1] === 0
			        ? 'missing: the header holds zeros where it belongs'
			        : 'does not match';
		$('check-verdict').textContent = verdict;
		$('check-verdict').className = check.matches ? 'good' : 'error';
		$('check-boot-code').textContent = hex(check.bootCodeCrc, 8) + ', ' +
		        (check.is6102 ? 'the 6102 boot code'
		                      : 'not the 6102 boot code (90BB6CB5): the boot checksum ' +
		                        'computed here is only valid for that one');
		$('check-result').hidden = false;
		return check;
	}

	// ---- Step 1: the image --------------------------------------------------

	function image_loaded(source, image, where) {
		state.source = source;
		state.image = image;
		state.builtin = os64.extractFont(image);
		$('download-box').hidden = true;
		$('patch-steps').replaceChildren();
		say('patch-status', []);
		const size = image.length.toLocaleString('en') + ' bytes';
		if (state.builtin !== null)
			say('image-status', where + ': ' + size + ', an unpatched image. Its built-in ' +
			    'font is shown below.', 'good');
		else
			say('image-status', [where + ': ' + size + '. It holds no built-in font that ' +
			    'can be replaced: either it is patched already, or it is no menu image.',
			    'To patch it again, put the original back first: it is the OS64.bak that ' +
			    'the first patch kept.'], 'error');
		show_check(image, where + ', as read.');
		redraw_fonts();
		import_font();
	}

	// After a patch the page holds the patched image and goes on showing
	// the built-in font it replaced.
	function image_patched(where) {
		say('image-status', where + ' is patched now. ' + (state.source === 'sample'
		        ? 'Try the sample image again to start over.'
		        : 'To patch it again with another font, start from the original, the ' +
		          'image in ' + backup_name + '.'));
	}

	async function read_file(handle) {
		const file = await handle.getFile();
		return new Uint8Array(await file.arrayBuffer());
	}

	async function choose_folder() {
		let folder;
		try {
			folder = await window.showDirectoryPicker({ id: 'os64-card', mode: 'readwrite' });
		} catch (error) {
			if (error.name !== 'AbortError')
				say('image-status', 'Could not open the folder: ' + describe_failure(error),
				    'error');
			return;
		}
		let image;
		try {
			image = await read_file(await folder.getFileHandle(image_name));
		} catch (error) {
			const why = error.name === 'NotFoundError'
			        ? 'there is none. Choose the folder that holds the menu image.'
			        : describe_failure(error);
			say('image-status', 'Could not read ' + image_name + ' in the folder "' +
			    folder.name + '": ' + why, 'error');
			return;
		}
		state.folder = folder;
		$('patch').textContent = 'Patch ' + image_name + ' in "' + folder.name + '"';
		image_loaded('folder', image, image_name + ' in "' + folder.name + '"');
	}

	async function open_image(input) {
		const file = input.files[0];
		if (!file)
			return;
		try {
			image_loaded('file', new Uint8Array(await file.arrayBuffer()), file.name);
			$('patch').textContent = 'Patch and download ' + image_name;
		} catch (error) {
			say('image-status', 'Could not read ' + file.name + ': ' + describe_failure(error),
			    'error');
		}
	}

	function try_sample() {
		const sample = os64.makeSample();
		if (sample === null) {
			say('image-status', 'Could not make the sample image: not enough memory.', 'error');
			return;
		}
		state.folder = null;
		state.font_file = { bytes: sample.font, name: 'sample.pf' };
		state.size = null;
		$('patch').textContent = 'Patch the sample image';
		image_loaded('sample', sample.image, 'The sample image');
	}

	// ---- Step 2: the font ---------------------------------------------------

	// Makes the new font of the chosen file with the options as they stand,
	// and shows it.  An import that a later one overtakes is dropped.  The
	// patch waits for the latest one.
	function import_font() {
		state.importing = run_import();
		return state.importing;
	}

	async function run_import() {
		if (state.font_file === null)
			return;
		const ticket = ++state.imports;
		const codepage = $('codepage').value.trim();
		const fill = $('fill').checked ? state.builtin : null;
		const file = state.font_file;
		let input = null;
		let failure = null;
		try {
			input = await read_font_file(file.bytes, file.name,
			                             { codepage: codepage, size: state.size || 0,
			                               fill: fill, fillName: 'the built-in font' });
		} catch (error) {
			failure = describe_failure(error);
			input = error;
		}
		if (ticket !== state.imports)
			return;
		show_size(input.scalable === true, input.size);
		if (failure !== null) {
			state.font = null;
			const lines = [failure + '.'];
			if (codepage !== '' && (failure.includes('--codepage') || failure.includes(codepage)))
				lines.push('The code page field says "' + codepage + '". Empty it for a font ' +
				           'that names its characters, or choose a code page from its list.');
			const fits = /; try --size (\d+)$/.exec(failure);
			if (fits !== null && input.scalable === true)
				lines.push('Its glyphs fit at size ' + fits[1] + ': enter ' + fits[1] +
				           ' as the size in pixels.');
			say('font-status', lines, 'error');
		} else {
			state.font = { bytes: input.font, missing: input.missing, filled: fill !== null };
			const lines = [input.note];
			if (file.name === 'sample.pf' && state.source === 'sample')
				lines.push('The sample font draws its letters plain where the sample image ' +
				           'draws them bold.');
			lines.push(...input.warnings.map(warning => 'Warning: ' + warning + '.'));
			if (input.missing.length > 0 && $('fill').checked && state.builtin === null)
				lines.push('There is no built-in font to take the missing characters from ' +
				           'yet: load the card\'s image first.');
			say('font-status', lines);
		}
		redraw_fonts();
	}

	// Shows the size field for a font with outlines, holding the size it
	// was read at; hides it for any other.
	function show_size(scalable, size) {
		$('size-box').hidden = !scalable;
		if (scalable && size !== null)
			$('size').value = String(size);
	}

	// Takes the size typed or stepped to, when it is one the import takes;
	// otherwise the import puts back the size the font was read at.
	function size_changed() {
		const size = Number($('size').value);
		if (Number.isInteger(size) && size >= 1 && size <= 64)
			state.size = size;
		return import_font();
	}

	async function take_font(file) {
		let bytes;
		try {
			bytes = new Uint8Array(await file.arrayBuffer());
		} catch (error) {
			say('font-status', 'Could not read ' + file.name + ': ' + describe_failure(error),
			    'error');
			return;
		}
		state.font_file = { bytes: bytes, name: file.name };
		state.size = null;
		await import_font();
	}

	function watch_drop_zone(zone) {
		zone.addEventListener('dragover', function (event) {
			event.preventDefault();
			zone.classList.add('over');
		});
		zone.addEventListener('dragleave', function () {
			zone.classList.remove('over');
		});
		zone.addEventListener('drop', function (event) {
			event.preventDefault();
			zone.classList.remove('over');
			const file = event.dataTransfer.files[0];
			if (file)
				take_font(file);
		});
	}

	// ---- Step 3: the patch ----------------------------------------------------

	// Lists a step of the patch as it starts; done() marks it finished.
	function step(text) {
		const item = document.createElement('li');
		item.textContent = text + '…';
		$('patch-steps').append(item);
		return { done: function (result) { item.textContent = text + ': ' + (result || 'done'); } };
	}

	function same_bytes(a, b) {
		if (a.length !== b.length)
			return false;
		for (let i = 0; i < a.length; i++)
			if (a[i] !== b[i])
				return false;
		return true;
	}

	// Writes bytes as the whole new content of a file.  createWritable
	// writes to a copy that takes the file's place only on close(), so a
	// failure before that, and the abort after it, leave the file as it
	// was.
	async function write_whole_file(handle, bytes) {
		const stream = await handle.createWritable();
		try {
			await stream.write(bytes);
			await stream.close();
		} catch (error) {
			try {
				await stream.abort();
			} catch (ignored) {
				// The write has failed already; that is what gets reported.
			}
			throw error;
		}
	}

	// The existing entry of that name in the folder, a file's or a folder's
	// handle, or null when there is none.
	async function find_entry(folder, name) {
		try {
			return await folder.getFileHandle(name);
		} catch (error) {
			if (error.name === 'TypeMismatchError')
				return await folder.getDirectoryHandle(name);
			if (error.name === 'NotFoundError')
				return null;
			throw error;
		}
	}

	// Makes sure OS64.bak keeps the original: writes it when there is
	// none, then reads it back.  Returns whether this run created it.  An
	// existing OS64.bak is left alone, as long as it can be a backup.
	async function keep_backup(folder, original) {
		const existing = await find_entry(folder, backup_name);
		if (existing !== null) {
			let why = null;
			if (existing.kind !== 'file')
				why = 'it is a folder';
			else if ((await existing.getFile()).size === 0)
				why = 'it is empty';
			if (why !== null)
				throw new Error(backup_name + ' holds no image to keep as the backup (' + why +
				                '); move it away and try again.');
			step(backup_name + ' is there already, and is kept as it is').done('not replaced');
			return false;
		}
		const writing = step('Writing ' + backup_name);
		const handle = await folder.getFileHandle(backup_name, { create: true });
		try {
			await write_whole_file(handle, original);
			writing.done();
			const verifying = step('Reading ' + backup_name + ' back');
			if (!same_bytes(await read_file(handle), original))
				throw new Error(backup_name + ' does not read back as it was written');
			verifying.done('the same bytes as ' + image_name);
		} catch (error) {
			error.backup_created = true;
			throw error;
		}
		return true;
	}

	async function patch_in_folder(folder, font) {
		let backup_created = false;
		let image_replaced = false;
		try {
			const reading = step('Reading ' + image_name);
			const handle = await folder.getFileHandle(image_name);
			const original = await read_file(handle);
			reading.done(original.length.toLocaleString('en') + ' bytes');
			const patching = step('Patching it in memory');
			const result = os64.patchImage(original, font);
			if (result.error !== null)
				throw new Error(result.error);
			patching.done('the built-in font at 0x' + hex(result.offset, 1) +
			              ', new checksum ' + checksum_text(result.checksum));

			backup_created = await keep_backup(folder, original);

			const writing = step('Writing the patched ' + image_name);
			await write_whole_file(handle, result.image);
			image_replaced = true;
			writing.done();
			const verifying = step('Reading ' + image_name + ' back');
			const written = await read_file(handle);
			if (!same_bytes(written, result.image))
				throw new Error(image_name + ' does not read back as it was written; the ' +
				                'original image is in ' + backup_name);
			verifying.done('the same bytes as patched');

			state.image = written;
			image_patched(image_name + ' in "' + folder.name + '"');
			say('patch-status', 'Done. ' + image_name + ' carries the new font and its ' +
			    'checksum, and ' + backup_name + ' keeps the original image.', 'good');
			show_check(written, image_name + ' in "' + folder.name + '", as written.');
		} catch (error) {
			const lines = [describe_failure(error)];
			if (error.backup_created)
				backup_created = true;
			if (backup_created && !image_replaced) {
				try {
					await folder.removeEntry(backup_name);
				} catch (remove_error) {
					lines.push(backup_name + ', which this run wrote, could not be removed ' +
					           'again: ' + describe_failure(remove_error));
				}
			}
			if (!image_replaced)
				lines.push(image_name + ' and ' + backup_name + ' are as they were.');
			say('patch-status', lines, 'error');
		}
	}

	// Without the folder API, and for the sample: the patch happens in
	// memory and the result is offered as a download named OS64.v64.
	function patch_to_download(font) {
		const patching = step('Patching in memory');
		const result = os64.patchImage(state.image, font);
		if (result.error !== null) {
			say('patch-status', [result.error, 'Nothing was written.'], 'error');
			return;
		}
		patching.done('the built-in font at 0x' + hex(result.offset, 1) +
		              ', new checksum ' + checksum_text(result.checksum));
		const link = $('download');
		if (link.href.startsWith('blob:'))
			URL.revokeObjectURL(link.href);
		link.href = URL.createObjectURL(new Blob([result.image],
		                                         { type: 'application/octet-stream' }));
		$('download-box').hidden = false;
		if (state.source === 'file') {
			link.textContent = 'Download the patched ' + image_name + ' again';
			link.click();
			say('patch-status', ['The patched image is downloading as ' + image_name + '.',
			    'The ' + image_name + ' you opened is untouched. Keep it as ' + backup_name +
			    ': rename it on the card, then copy the downloaded ' + image_name +
			    ' next to it. If your browser saved the download under another name, such ' +
			    'as "OS64 (1).v64", rename it to ' + image_name + '.'], 'good');
			show_check(result.image, 'The patched ' + image_name + ', as downloaded.');
		} else {
			link.textContent = 'Download the patched sample image';
			say('patch-status', 'The sample image was patched in memory; nothing was ' +
			    'written. Its check is below.', 'good');
			show_check(result.image, 'The patched sample image.');
		}
		state.image = result.image;
		image_patched(state.source === 'file' ? 'The downloaded ' + image_name
		                                      : 'The sample image');
	}

	async function patch() {
		if (state.busy)
			return;
		$('patch-steps').replaceChildren();
		if (state.image === null) {
			say('patch-status', (can_use_folders ? 'Choose the card\'s folder'
			                                     : 'Open ' + image_name) +
			    ' first, or try the sample image.', 'error');
			return;
		}
		state.busy = true;
		$('patch').disabled = true;
		try {
			await state.importing;
			if (state.font === null) {
				say('patch-status', state.font_file === null
				        ? 'Choose a font file first.'
				        : 'The font chosen could not be made into a font table; step 2 ' +
				          'says why.', 'error');
				return;
			}
			say('patch-status', 'Patching…');
			if (state.source === 'folder')
				await patch_in_folder(state.folder, state.font.bytes);
			else
				patch_to_download(state.font.bytes);
		} finally {
			state.busy = false;
			$('patch').disabled = false;
			redraw_fonts();
		}
	}

	// ---- Start --------------------------------------------------------------

	function start() {
		if (!can_use_folders) {
			$('choose-folder').hidden = true;
			$('folder-intro').hidden = true;
			$('file-intro').hidden = false;
			$('open-image-box').hidden = false;
			$('patch-intro').textContent = 'Patches the image in the page and downloads ' +
			        'it as ' + image_name + '. The file you opened stays as it is.';
		}
		$('choose-folder').addEventListener('click', choose_folder);
		$('open-image').addEventListener('change', event => open_image(event.target));
		$('try-sample').addEventListener('click', try_sample);
		$('open-font').addEventListener('change', function (event) {
			if (event.target.files[0])
				take_font(event.target.files[0]);
		});
		watch_drop_zone($('drop-zone'));
		// A file dropped beside the drop zone would otherwise replace the
		// page, and everything chosen so far with it.
		document.addEventListener('dragover', event => event.preventDefault());
		document.addEventListener('drop', event => event.preventDefault());
		// A name typed is taken when the field is left or Enter pressed; one
		// picked from the list, or the field emptied, at once.
		$('codepage').addEventListener('change', import_font);
		$('codepage').addEventListener('input', function (event) {
			const value = event.target.value.trim();
			const listed = Array.from($('codepages').options, option => option.value);
			if (value === '' || listed.includes(value))
				import_font();
		});
		$('fill').addEventListener('change', import_font);
		$('size').addEventListener('change', size_changed);
		$('sample-text').addEventListener('input', redraw_fonts);
		$('patch').addEventListener('click', patch);
		redraw_fonts();
	}

	const controls = ['choose-folder', 'open-image', 'try-sample', 'open-font', 'size',
	                  'codepage', 'fill', 'patch'];
	for (const id of controls)
		$(id).disabled = true;
	os64.ready.then(function () {
		for (const id of controls)
			$(id).disabled = false;
		say('engine-status', []);
		slot_of = new Map();
		os64.cp437().forEach(function (code, slot) {
			if (slot > 0 && !slot_of.has(code))
				slot_of.set(code, slot);
		});
		start();
		document.documentElement.dataset.ready = 'true';
	}, function (error) {
		say('engine-status', 'The page could not start its engine: ' +
		    describe_failure(error), 'error');
	});
})();
