// Steps 1 and 3, the card and the patch: the card's folder (or its image,
// or the sample), the built-in font to replace, the patch, the patch
// again from OS64.bak, the restore of the original, and the check panel.
// It moves bytes; every patch, comparison and check comes from
// window.os64, the same C++ code as the command-line tools.  What it
// read of the card is kept in card_state.js.
import { card, hold_patched_image, take_card, take_folder } from './card_state.js';
import { redraw_fonts } from './draw.js';
import { os64 } from './engine_api.js';
import { builtin_changed, font_step, may_replace_work, use_font_file } from './font_step.js';
import { work } from './font_work.js';
import { backup_name, checksum_text, describe_failure, hex, image_name, same_bytes }
        from './page_common.js';
import { $, ask, say } from './page_ui.js';

// Whether a change of the card's files is running.
let busy = false;

const can_use_folders = typeof window.showDirectoryPicker === 'function';

// ---- The check panel ---------------------------------------------------------

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

// ---- Step 1: the image --------------------------------------------------------

function clear_patch_report() {
	$('download-box').hidden = true;
	$('patch-steps').replaceChildren();
	say('patch-status', []);
}

// Says what the image is, and what can be done with it.
function say_image_status() {
	const where = card.where;
	const size = card.image.length.toLocaleString('en') + ' bytes';
	if (os64.extractFont(card.image) !== null) {
		say('image-status', where + ': ' + size + ', an unpatched image. Its built-in font is ' +
		    'shown below.', 'good');
	} else if (card.original !== null && card.original.error === null) {
		say('image-status', [where + ': ' + size + ', patched already. The ' + backup_name +
		    ' beside it is its original, whose built-in font is shown below.',
		    'Patch again from ' + backup_name + ' to put another font on a copy of it, or ' +
		    'restore ' + image_name + ' from ' + backup_name + ' to put the original back.'],
		    'good');
	} else {
		const lines = [where + ': ' + size + '. It holds no built-in font that can be ' +
		               'replaced: either it is patched already, or it is no menu image.'];
		if (card.source !== 'folder')
			lines.push('To patch it again, put the original back first: it is the ' +
			           backup_name + ' that the first patch kept.');
		else if (card.backup === null)
			lines.push('There is no ' + backup_name + ' beside it to patch it again from.');
		else
			lines.push('The ' + backup_name + ' beside it is not its original, so the page ' +
			           'cannot patch it again from it: ' + card.original.error + '.');
		say('image-status', lines, 'error');
	}
}

// Shows what was loaded: the patch button's label, whether a restore is
// offered, and the check of the file the built-in font comes from.
function card_shown(patch_label, can_restore, checked, where) {
	if (patch_label !== null)
		$('patch').textContent = patch_label;
	$('restore').hidden = !can_restore;
	show_check(checked, where + ', as read.');
	redraw_fonts();
	builtin_changed();
}

// Takes an image, and the folder's OS64.bak when there is one, as the
// card's.
function image_loaded(source, image, where, backup = null) {
	let builtin = os64.extractFont(image);
	let builtin_from = where;
	let original = null;
	if (builtin === null && backup !== null) {
		original = os64.checkBackup(image, backup);
		if (original.error === null) {
			builtin = os64.extractFont(backup);
			builtin_from = backup_name + ' in "' + card.folder.name + '"';
		}
	}
	take_card({ source, where, image, backup, original, builtin, builtin_from });
	say_image_status();
	let patch_label = null;
	if (source === 'folder')
		patch_label = card.original !== null && card.original.error === null
		        ? 'Patch again from ' + backup_name
		        : 'Patch ' + image_name + ' in "' + card.folder.name + '"';
	card_shown(patch_label, source === 'folder' && backup !== null &&
	           os64.extractFont(backup) !== null && !same_bytes(image, backup), image, where);
}

// Takes a folder that holds an unpatched OS64.bak and no OS64.v64 as the
// card's.  A patch cut off between its two renames (a pulled card, a
// power cut) leaves a card so, and so does a rename by hand that went
// only half-way.  The patch and the restore then make OS64.v64 again
// from a copy of OS64.bak.
function backup_loaded(backup) {
	const where = backup_name + ' in "' + card.folder.name + '"';
	take_card({ source: 'folder', where, image: null, backup, original: null,
	            builtin: os64.extractFont(backup), builtin_from: where });
	say('image-status', ['There is no ' + image_name + ' in "' + card.folder.name + '", only ' +
	    'its ' + backup_name + ': ' + backup.length.toLocaleString('en') + ' bytes, an ' +
	    'unpatched image, whose built-in font is shown below. A patch cut off half-way ' +
	    '(a pulled card, a power cut) can leave a card so.',
	    'Patch again from ' + backup_name + ' to write a patched copy of it as ' + image_name +
	    ', or restore ' + image_name + ' from ' + backup_name + ' to put the original back.'],
	    'good');
	card_shown('Patch again from ' + backup_name, true, backup, where);
}

async function read_file(handle) {
	const file = await handle.getFile();
	return new Uint8Array(await file.arrayBuffer());
}

// Reads the folder's OS64.v64 and its OS64.bak; either is null when the
// folder has no file of that name.
async function read_card(folder) {
	let image = null;
	try {
		image = await read_file(await folder.getFileHandle(image_name));
	} catch (error) {
		if (error.name !== 'NotFoundError')
			throw error;
	}
	let backup = null;
	try {
		backup = await read_file(await folder.getFileHandle(backup_name));
	} catch (error) {
		// No OS64.bak, or a folder of that name: none to patch again from.
		if (error.name !== 'NotFoundError' && error.name !== 'TypeMismatchError')
			throw error;
	}
	return { image: image, backup: backup };
}

function folder_loaded(files) {
	if (files.image === null)
		backup_loaded(files.backup);
	else
		image_loaded('folder', files.image, image_name + ' in "' + card.folder.name + '"',
		             files.backup);
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
	let files;
	let why = null;
	try {
		files = await read_card(folder);
		if (files.image === null && files.backup === null)
			why = 'there is none. Choose the folder that holds the menu image.';
		else if (files.image === null && os64.extractFont(files.backup) === null)
			why = 'there is none, and the ' + backup_name + ' in it holds no unpatched ' +
			      'image to make it again from.';
	} catch (error) {
		why = describe_failure(error);
	}
	if (why !== null) {
		say('image-status', 'Could not read ' + image_name + ' in the folder "' +
		    folder.name + '": ' + why, 'error');
		return;
	}
	take_folder(folder);
	clear_patch_report();
	folder_loaded(files);
}

async function open_image(input) {
	const file = input.files[0];
	if (!file)
		return;
	try {
		const image = new Uint8Array(await file.arrayBuffer());
		take_folder(null);
		clear_patch_report();
		image_loaded('file', image, file.name);
		$('patch').textContent = 'Patch and download ' + image_name;
	} catch (error) {
		say('image-status', 'Could not read ' + file.name + ': ' + describe_failure(error),
		    'error');
	}
}

async function try_sample() {
	const sample = os64.makeSample();
	if (sample === null) {
		say('image-status', 'Could not make the sample image: not enough memory.', 'error');
		return;
	}
	if (!await may_replace_work())
		return;
	use_font_file(sample.font, 'sample.pf');
	take_folder(null);
	clear_patch_report();
	$('patch').textContent = 'Patch the sample image';
	image_loaded('sample', sample.image, 'The sample image');
}

// ---- Step 3: the patch ----------------------------------------------------------

// Lists a step of the patch as it starts; done() marks it finished.
function step(text) {
	const item = document.createElement('li');
	item.textContent = text + '…';
	$('patch-steps').append(item);
	return { done: function (result) { item.textContent = text + ': ' + (result || 'done'); } };
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

// Reads a file of the folder as a step of the patch.
async function read_step(folder, name) {
	const reading = step('Reading ' + name);
	const handle = await folder.getFileHandle(name);
	const bytes = await read_file(handle);
	reading.done(bytes.length.toLocaleString('en') + ' bytes');
	return { handle: handle, bytes: bytes };
}

// Makes sure OS64.bak keeps the original: writes it when there is none,
// then reads it back.  outcome.backup_created says whether this run
// created it.  An existing OS64.bak is left alone, as long as it can be a
// backup.
async function keep_backup(folder, original, outcome) {
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
		return;
	}
	const writing = step('Writing ' + backup_name);
	const handle = await folder.getFileHandle(backup_name, { create: true });
	outcome.backup_created = true;
	await write_whole_file(handle, original);
	writing.done();
	const verifying = step('Reading ' + backup_name + ' back');
	if (!same_bytes(await read_file(handle), original))
		throw new Error(backup_name + ' does not read back as it was written');
	verifying.done('the same bytes as ' + image_name);
}

// Makes the missing OS64.v64 as an empty file for replace_image to fill;
// outcome.image_created lets a failure remove it again.
async function create_image(folder, outcome) {
	if (await find_entry(folder, image_name) !== null)
		throw new Error(image_name + ' has appeared in the folder since it was read; ' +
		                'choose the folder again.');
	const handle = await folder.getFileHandle(image_name, { create: true });
	outcome.image_created = true;
	return handle;
}

// Gives OS64.v64 its new content in one step, and reads it back.
async function replace_image(handle, bytes, what, outcome) {
	const writing = step('Writing ' + what);
	await write_whole_file(handle, bytes);
	outcome.image_replaced = true;
	writing.done();
	const verifying = step('Reading ' + image_name + ' back');
	if (!same_bytes(await read_file(handle), bytes))
		throw new Error(image_name + ' does not read back as it was written; the ' +
		                'original image is in ' + backup_name);
	verifying.done('the same bytes as written');
}

function patched_step(result, what) {
	return 'the built-in font at 0x' + hex(result.offset, 1) + what + ', new checksum ' +
	       checksum_text(result.checksum);
}

// The first patch: OS64.bak keeps the image, OS64.v64 takes the patch.
async function first_patch(folder, image, result, outcome) {
	await keep_backup(folder, image.bytes, outcome);
	await replace_image(image.handle, result.image, 'the patched ' + image_name, outcome);
	return 'Done. ' + image_name + ' carries the new font and its checksum, and ' +
	       backup_name + ' keeps the original image.';
}

// A patched OS64.v64 is patched again from a copy of OS64.bak, when that
// is its original, and a missing one is made again from it, when it is
// an unpatched image (image is then null); OS64.bak itself is only read.
async function patch_again(folder, image, font, not_found, outcome) {
	if (await find_entry(folder, backup_name) === null)
		throw new Error(not_found + '\nThere is no ' + backup_name + ' beside it to patch ' +
		                'it again from.');
	const backup = await read_step(folder, backup_name);
	if (image !== null) {
		const comparing = step('Comparing ' + backup_name + ' with ' + image_name);
		const original = os64.checkBackup(image.bytes, backup.bytes);
		if (original.error !== null)
			throw new Error(backup_name + ' is not the original of this ' + image_name +
			                ', so the page does not patch again from it: ' + original.error +
			                '.');
		comparing.done('its original, with its built-in font at 0x' + hex(original.offset, 1));
	}
	const patching = step('Patching a copy of ' + backup_name + ' in memory');
	const result = os64.patchImage(backup.bytes, font);
	if (result.error !== null)
		throw new Error(result.error);
	patching.done(patched_step(result, ''));
	const handle = image !== null ? image.handle : await create_image(folder, outcome);
	await replace_image(handle, result.image, 'the patched ' + image_name, outcome);
	return 'Done. ' + image_name + ' carries the new font and its checksum, patched ' +
	       'again from a copy of ' + backup_name + ', which is unchanged.';
}

// Says what failed, after removing the OS64.bak or OS64.v64 this run
// made when OS64.v64 did not take its new content.
async function report_failure(folder, error, outcome) {
	const lines = [describe_failure(error)];
	let as_they_were = !outcome.image_replaced;
	const made = [];
	if (outcome.backup_created)
		made.push(backup_name);
	if (outcome.image_created)
		made.push(image_name);
	for (const name of as_they_were ? made : []) {
		try {
			await folder.removeEntry(name);
		} catch (remove_error) {
			lines.push(name + ', which this run made, could not be removed again: ' +
			           describe_failure(remove_error));
			as_they_were = false;
		}
	}
	if (as_they_were)
		lines.push(image_name + ' and ' + backup_name + ' are as they were.');
	say('patch-status', lines, 'error');
}

// Says that a change of the folder's files is done, then reads the
// folder again to show what it holds now.
async function say_done(folder, done) {
	say('patch-status', done, 'good');
	const files = await read_card(folder);
	folder_loaded(files);
	show_check(files.image, image_name + ' in "' + folder.name + '", as written.');
}

async function patch_in_folder(folder, font) {
	const outcome = { backup_created: false, image_created: false, image_replaced: false };
	try {
		await say_done(folder, await patch_folder_files(folder, font, outcome));
	} catch (error) {
		await report_failure(folder, error, outcome);
	}
}

// Patches the folder's files and returns what to say when it is done.
async function patch_folder_files(folder, font, outcome) {
	if (await find_entry(folder, image_name) === null)
		return patch_again(folder, null, font, 'There is no ' + image_name + ' in the folder.',
		                   outcome);
	const image = await read_step(folder, image_name);
	const patching = step('Patching it in memory');
	const result = os64.patchImage(image.bytes, font);
	if (result.error === null) {
		patching.done(patched_step(result, ''));
		return first_patch(folder, image, result, outcome);
	}
	if (!result.error.startsWith('internal font not found'))
		throw new Error(result.error);
	patching.done('it is patched already');
	return patch_again(folder, image, font, result.error, outcome);
}

// After a patch the page holds the patched image and goes on showing
// the built-in font it replaced.
function image_patched(where) {
	say('image-status', where + ' is patched now. ' + (card.source === 'sample'
	        ? 'Try the sample image again to start over.'
	        : 'To patch it again with another font, start from the original, the ' +
	          'image in ' + backup_name + '.'));
}

// Without the folder API, and for the sample: the patch happens in
// memory and the result is offered as a download named OS64.v64.
function patch_to_download(font) {
	const patching = step('Patching in memory');
	const result = os64.patchImage(card.image, font);
	if (result.error !== null) {
		say('patch-status', [result.error, 'Nothing was written.'], 'error');
		return;
	}
	patching.done(patched_step(result, ''));
	const link = $('download');
	if (link.href.startsWith('blob:'))
		URL.revokeObjectURL(link.href);
	link.href = URL.createObjectURL(new Blob([result.image],
	                                         { type: 'application/octet-stream' }));
	$('download-box').hidden = false;
	if (card.source === 'file') {
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
	hold_patched_image(result.image);
	image_patched(card.source === 'file' ? 'The downloaded ' + image_name : 'The sample image');
}

// Runs a change of the card's files, one at a time, with the buttons
// that start one disabled meanwhile.
async function card_change(body) {
	if (busy)
		return;
	busy = true;
	$('patch').disabled = true;
	$('restore').disabled = true;
	try {
		await body();
	} finally {
		busy = false;
		$('patch').disabled = false;
		$('restore').disabled = false;
	}
}

function patch() {
	return card_change(async function () {
		$('patch-steps').replaceChildren();
		if (card.image === null && card.backup === null) {
			say('patch-status', (can_use_folders ? 'Choose the card\'s folder'
			                                     : 'Open ' + image_name) +
			    ' first, or try the sample image.', 'error');
			return;
		}
		await font_step.importing;
		if (work.table === null || font_step.failed) {
			say('patch-status', font_step.file === null && work.table === null
			        ? 'Choose a font file first, or start from the built-in font.'
			        : 'The font chosen could not be made into a font table; step 2 ' +
			          'says why.', 'error');
			return;
		}
		say('patch-status', 'Patching…');
		if (card.source === 'folder')
			await patch_in_folder(card.folder, work.table);
		else
			patch_to_download(work.table);
	});
}

// ---- Restoring the original --------------------------------------------------------

async function restore() {
	const folder = card.folder;
	const lines = ['Restore ' + image_name + ' in "' + folder.name + '" from ' + backup_name +
	               '?', (card.image === null ? image_name + ', which is missing, is made ' +
	                                           'again with'
	                                         : image_name + ' takes') +
	               ' the content of ' + backup_name + ', the unpatched image, in one step. ' +
	               backup_name + ' stays as it is.'];
	if (card.original !== null && card.original.error !== null)
		lines.push('Note that ' + backup_name + ' is not the original of this ' + image_name +
		           ': ' + card.original.error + '.');
	if (busy || !await ask(lines, 'Restore', 'Cancel'))
		return;
	await card_change(async function () {
		$('patch-steps').replaceChildren();
		say('patch-status', 'Restoring…');
		const outcome = { backup_created: false, image_created: false, image_replaced: false };
		try {
			const backup = await read_step(folder, backup_name);
			const checking = step('Looking for the built-in font in it');
			if (os64.extractFont(backup.bytes) === null)
				throw new Error(backup_name + ' holds no built-in font: it is no unpatched ' +
				                'image, and is not restored.');
			checking.done('it is an unpatched image');
			const image = await find_entry(folder, image_name) !== null
			        ? await folder.getFileHandle(image_name)
			        : await create_image(folder, outcome);
			await replace_image(image, backup.bytes, image_name + ' from ' + backup_name,
			                    outcome);
			await say_done(folder, 'Done. ' + image_name + ' holds the original image again, ' +
			               'and ' + backup_name + ' is still beside it.');
		} catch (error) {
			await report_failure(folder, error, outcome);
		}
	});
}

function watch_card() {
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
	$('patch').addEventListener('click', patch);
	$('restore').addEventListener('click', restore);
}

export { watch_card };
