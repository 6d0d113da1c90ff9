// Steps 1 and 3, the card and the patch: the card's folder (or its image,
// or the sample), the built-in font to replace, the patch, the patch
// again from OS64.bak, the restore of the original, and the check panel.
// It moves bytes; every patch, comparison and check comes from
// window.os64, the same C++ code as the command-line tools.  What it
// read of the card is kept in card_state.js.
//
// Every text it shows is made by a function, which i18n.js and page_ui.js
// call again when the language changes; a message of the engine's is
// asked of the engine again then, in the new language.
import { card, hold_patched_image, take_card, take_folder } from './card_state.js';
import { redraw_fonts } from './draw.js';
import { os64 } from './engine_api.js';
import { builtin_changed, font_step, may_replace_work, use_font_file } from './font_step.js';
import { work } from './font_work.js';
import { format, number, show, tr, tr_n } from './i18n.js';
import { backup_name, checksum_text, describe_failure, hex, image_name, page_error, same_bytes }
        from './page_common.js';
import { $, ask, say } from './page_ui.js';

// Whether a change of the card's files is running.
let busy = false;

const can_use_folders = typeof window.showDirectoryPicker === 'function';

// "OS64.v64 in "CARD"": a file of the folder chosen, as the texts name it.
function in_folder(name) {
	const folder = card.folder.name;
	return () => format(tr('%s in "%s"'), name, folder);
}

// ---- The check panel ---------------------------------------------------------

// Shows what os64-font check says of image; subject() says what it is.
function show_check(image, subject) {
	const check = os64.checkImage(image);
	show($('check-subject'), function () {
		const error = os64.checkImage(image).error;
		return error === null ? subject()
		                      : format(tr('%s It cannot be checked: %s.'), subject(), error);
	});
	if (check.error !== null) {
		$('check-result').hidden = true;
		return check;
	}
	$('check-stored').textContent = checksum_text(check.stored);
	$('check-computed').textContent = checksum_text(check.computed);
	show($('check-verdict'), function () {
		if (check.matches)
			return tr('matches');
		return check.stored[0] === 0 && check.stored[1] === 0
		        ? tr('missing: the header holds zeros where it belongs') : tr('does not match');
	});
	$('check-verdict').className = check.matches ? 'good' : 'error';
	show($('check-boot-code'), () => format(check.is6102
	        ? tr('%s, the 6102 boot code')
	        : tr('%s, not the 6102 boot code (90BB6CB5): the boot checksum computed here is ' +
	             'only valid for that one'),
	        hex(check.bootCodeCrc, 8)));
	$('check-result').hidden = false;
	return check;
}

// ---- Step 1: the image --------------------------------------------------------

function clear_patch_report() {
	$('download-box').hidden = true;
	$('patch-steps').replaceChildren();
	say('patch-status', []);
}

// Why the folder's OS64.bak is not the original of its OS64.v64, as the
// engine says it in the language set.
function backup_problem() {
	return os64.checkBackup(card.image, card.backup).error;
}

// Says what the image is, and what can be done with it.
function say_image_status() {
	const where = card.where;
	const bytes = card.image.length;
	if (os64.extractFont(card.image) !== null) {
		say('image-status', () => format(tr('%s: %s bytes, an unpatched image. Its built-in font ' +
		                                    'is shown below.'), where(), number(bytes)), 'good');
	} else if (card.original !== null && card.original.error === null) {
		say('image-status', () => [
			format(tr('%s: %s bytes, patched already. The OS64.bak beside it is its original, ' +
			          'whose built-in font is shown below.'), where(), number(bytes)),
			tr('Patch again from OS64.bak to put another font on a copy of it, or restore ' +
			   'OS64.v64 from OS64.bak to put the original back.')], 'good');
	} else {
		const source = card.source;
		const backup = card.backup;
		say('image-status', () => [
			format(tr('%s: %s bytes. It holds no built-in font that can be replaced: either it ' +
			          'is patched already, or it is no menu image.'), where(), number(bytes)),
			source !== 'folder'
			        ? tr('To patch it again, put the original back first: it is the OS64.bak ' +
			             'that the first patch kept.')
			        : backup === null
			        ? tr('There is no OS64.bak beside it to patch it again from.')
			        : format(tr('The OS64.bak beside it is not its original, so the page cannot ' +
			                    'patch it again from it: %s.'), backup_problem())], 'error');
	}
}

// Shows what was loaded: the patch button's label, whether a restore is
// offered, and the check of the file the built-in font comes from.
function card_shown(patch_label, can_restore, checked, where) {
	if (patch_label !== null)
		show($('patch'), patch_label);
	$('restore').hidden = !can_restore;
	show_check(checked, () => format(tr('%s, as read.'), where()));
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
			builtin_from = in_folder(backup_name);
		}
	}
	take_card({ source, where, image, backup, original, builtin, builtin_from });
	say_image_status();
	let patch_label = null;
	if (source === 'folder') {
		const patched = card.original !== null && card.original.error === null;
		const folder = card.folder.name;
		patch_label = () => patched ? tr('Patch again from OS64.bak')
		                            : format(tr('Patch OS64.v64 in "%s"'), folder);
	}
	card_shown(patch_label, source === 'folder' && backup !== null &&
	           os64.extractFont(backup) !== null && !same_bytes(image, backup), image, where);
}

// Takes a folder that holds an unpatched OS64.bak and no OS64.v64 as the
// card's.  A patch cut off between its two renames (a pulled card, a
// power cut) leaves a card so, and so does a rename by hand that went
// only half-way.  The patch and the restore then make OS64.v64 again
// from a copy of OS64.bak.
function backup_loaded(backup) {
	const where = in_folder(backup_name);
	const folder = card.folder.name;
	take_card({ source: 'folder', where, image: null, backup, original: null,
	            builtin: os64.extractFont(backup), builtin_from: where });
	say('image-status', () => [
		format(tr('There is no OS64.v64 in "%s", only its OS64.bak: %s bytes, an unpatched ' +
		          'image, whose built-in font is shown below. A patch cut off half-way (a ' +
		          'pulled card, a power cut) can leave a card so.'), folder, number(backup.length)),
		tr('Patch again from OS64.bak to write a patched copy of it as OS64.v64, or restore ' +
		   'OS64.v64 from OS64.bak to put the original back.')], 'good');
	card_shown(() => tr('Patch again from OS64.bak'), true, backup, where);
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
		image_loaded('folder', files.image, in_folder(image_name), files.backup);
}

async function choose_folder() {
	let folder;
	try {
		folder = await window.showDirectoryPicker({ id: 'os64-card', mode: 'readwrite' });
	} catch (error) {
		if (error.name !== 'AbortError')
			say('image-status', () => format(tr('Could not open the folder: %s'),
			                                 describe_failure(error)), 'error');
		return;
	}
	let files;
	let why = null;
	try {
		files = await read_card(folder);
		if (files.image === null && files.backup === null)
			why = () => tr('there is none. Choose the folder that holds the menu image.');
		else if (files.image === null && os64.extractFont(files.backup) === null)
			why = () => tr('there is none, and the OS64.bak in it holds no unpatched image to ' +
			               'make it again from.');
	} catch (error) {
		why = () => describe_failure(error);
	}
	if (why !== null) {
		say('image-status', () => format(tr('Could not read OS64.v64 in the folder "%s": %s'),
		                                 folder.name, why()), 'error');
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
		image_loaded('file', image, () => file.name);
		show($('patch'), () => tr('Patch and download OS64.v64'));
	} catch (error) {
		say('image-status', () => format(tr('Could not read %s: %s'), file.name,
		                                 describe_failure(error)), 'error');
	}
}

async function try_sample() {
	const sample = os64.makeSample();
	if (sample === null) {
		say('image-status', () => tr('Could not make the sample image: not enough memory.'),
		    'error');
		return;
	}
	if (!await may_replace_work())
		return;
	use_font_file(sample.font, 'sample.pf');
	take_folder(null);
	clear_patch_report();
	show($('patch'), () => tr('Patch the sample image'));
	image_loaded('sample', sample.image, () => tr('The sample image'));
}

// ---- Step 3: the patch ----------------------------------------------------------

// Lists a step of the patch as it starts, its text made by what();
// done(result) marks it finished, result() saying how, if it is given.
function step(what) {
	const item = document.createElement('li');
	show(item, () => format(tr('%s…'), what()));
	$('patch-steps').append(item);
	return {
		done: function (result) {
			show(item, () => format(tr('%s: %s'), what(), result ? result() : tr('done')));
		},
	};
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
	const reading = step(() => format(tr('Reading %s'), name));
	const handle = await folder.getFileHandle(name);
	const bytes = await read_file(handle);
	reading.done(() => format(tr_n('%s byte', '%s bytes', bytes.length), number(bytes.length)));
	return { handle: handle, bytes: bytes };
}

// Makes sure OS64.bak keeps the original: writes it when there is none,
// then reads it back.  outcome.backup_created says whether this run
// created it.  An existing OS64.bak is left alone, as long as it can be a
// backup.
async function keep_backup(folder, original, outcome) {
	const existing = await find_entry(folder, backup_name);
	if (existing !== null) {
		if (existing.kind !== 'file')
			throw page_error(() => tr('OS64.bak holds no image to keep as the backup (it is a ' +
			                          'folder); move it away and try again.'));
		if ((await existing.getFile()).size === 0)
			throw page_error(() => tr('OS64.bak holds no image to keep as the backup (it is ' +
			                          'empty); move it away and try again.'));
		step(() => tr('OS64.bak is there already, and is kept as it is'))
		        .done(() => tr('not replaced'));
		return;
	}
	const writing = step(() => format(tr('Writing %s'), backup_name));
	const handle = await folder.getFileHandle(backup_name, { create: true });
	outcome.backup_created = true;
	await write_whole_file(handle, original);
	writing.done();
	const verifying = step(() => format(tr('Reading %s back'), backup_name));
	if (!same_bytes(await read_file(handle), original))
		throw page_error(() => tr('OS64.bak does not read back as it was written'));
	verifying.done(() => tr('the same bytes as OS64.v64'));
}

// Makes the missing OS64.v64 as an empty file for replace_image to fill;
// outcome.image_created lets a failure remove it again.
async function create_image(folder, outcome) {
	if (await find_entry(folder, image_name) !== null)
		throw page_error(() => tr('OS64.v64 has appeared in the folder since it was read; ' +
		                          'choose the folder again.'));
	const handle = await folder.getFileHandle(image_name, { create: true });
	outcome.image_created = true;
	return handle;
}

// Gives OS64.v64 its new content in one step, and reads it back; what()
// says what the content is.
async function replace_image(handle, bytes, what, outcome) {
	const writing = step(() => format(tr('Writing %s'), what()));
	await write_whole_file(handle, bytes);
	outcome.image_replaced = true;
	writing.done();
	const verifying = step(() => format(tr('Reading %s back'), image_name));
	if (!same_bytes(await read_file(handle), bytes))
		throw page_error(() => tr('OS64.v64 does not read back as it was written; the original ' +
		                          'image is in OS64.bak'));
	verifying.done(() => tr('the same bytes as written'));
}

function patched_step(result) {
	return () => format(tr('the built-in font at %s, new checksum %s'),
	                    '0x' + hex(result.offset, 1), checksum_text(result.checksum));
}

const the_patched_image = () => tr('the patched OS64.v64');

// The first patch: OS64.bak keeps the image, OS64.v64 takes the patch.
async function first_patch(folder, image, result, outcome) {
	await keep_backup(folder, image.bytes, outcome);
	await replace_image(image.handle, result.image, the_patched_image, outcome);
	return () => tr('Done. OS64.v64 carries the new font and its checksum, and OS64.bak keeps ' +
	                'the original image.');
}

// A patched OS64.v64 is patched again from a copy of OS64.bak, when that
// is its original, and a missing one is made again from it, when it is
// an unpatched image (image is then null); OS64.bak itself is only read.
// not_found() says why the first patch could not be made.
async function patch_again(folder, image, font, not_found, outcome) {
	if (await find_entry(folder, backup_name) === null)
		throw page_error(() => [not_found(),
		                        tr('There is no OS64.bak beside it to patch it again from.')]);
	const backup = await read_step(folder, backup_name);
	if (image !== null) {
		const comparing = step(() => format(tr('Comparing %s with %s'), backup_name, image_name));
		const original = os64.checkBackup(image.bytes, backup.bytes);
		if (original.error !== null)
			throw page_error(() => format(tr('OS64.bak is not the original of this OS64.v64, so ' +
			                                 'the page does not patch again from it: %s.'),
			                              os64.checkBackup(image.bytes, backup.bytes).error));
		comparing.done(() => format(tr('its original, with its built-in font at %s'),
		                            '0x' + hex(original.offset, 1)));
	}
	const patching = step(() => format(tr('Patching a copy of %s in memory'), backup_name));
	const result = os64.patchImage(backup.bytes, font);
	if (result.error !== null)
		throw page_error(() => os64.patchImage(backup.bytes, font).error);
	patching.done(patched_step(result));
	const handle = image !== null ? image.handle : await create_image(folder, outcome);
	await replace_image(handle, result.image, the_patched_image, outcome);
	return () => tr('Done. OS64.v64 carries the new font and its checksum, patched again from a ' +
	                'copy of OS64.bak, which is unchanged.');
}

// Says what failed, after removing the OS64.bak or OS64.v64 this run
// made when OS64.v64 did not take its new content.
async function report_failure(folder, error, outcome) {
	const lines = [() => describe_failure(error)];
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
			lines.push(() => format(tr('%s, which this run made, could not be removed again: %s'),
			                        name, describe_failure(remove_error)));
			as_they_were = false;
		}
	}
	if (as_they_were)
		lines.push(() => tr('OS64.v64 and OS64.bak are as they were.'));
	say('patch-status', () => lines.flatMap(line => [].concat(line())), 'error');
}

// Says that a change of the folder's files is done, then reads the
// folder again to show what it holds now.
async function say_done(folder, done) {
	say('patch-status', done, 'good');
	const files = await read_card(folder);
	folder_loaded(files);
	show_check(files.image, () => format(tr('%s, as written.'), in_folder(image_name)()));
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
		return patch_again(folder, null, font, () => tr('There is no OS64.v64 in the folder.'),
		                   outcome);
	const image = await read_step(folder, image_name);
	const patching = step(() => tr('Patching it in memory'));
	const result = os64.patchImage(image.bytes, font);
	if (result.error === null) {
		patching.done(patched_step(result));
		return first_patch(folder, image, result, outcome);
	}
	if (result.fontFound)
		throw page_error(() => os64.patchImage(image.bytes, font).error);
	patching.done(() => tr('it is patched already'));
	return patch_again(folder, image, font, () => os64.patchImage(image.bytes, font).error,
	                   outcome);
}

// After a patch the page holds the patched image and goes on showing
// the built-in font it replaced; what() names the image.
function image_patched(what) {
	const source = card.source;
	say('image-status', () => format(source === 'sample'
	        ? tr('%s is patched now. Try the sample image again to start over.')
	        : tr('%s is patched now. To patch it again with another font, start from the ' +
	             'original, the image in OS64.bak.'), what()));
}

// Without the folder API, and for the sample: the patch happens in
// memory and the result is offered as a download named OS64.v64.
function patch_to_download(font) {
	const patching = step(() => tr('Patching in memory'));
	const image = card.image;
	const result = os64.patchImage(image, font);
	if (result.error !== null) {
		say('patch-status', () => [os64.patchImage(image, font).error, tr('Nothing was written.')],
		    'error');
		return;
	}
	patching.done(patched_step(result));
	const link = $('download');
	if (link.href.startsWith('blob:'))
		URL.revokeObjectURL(link.href);
	link.href = URL.createObjectURL(new Blob([result.image],
	                                         { type: 'application/octet-stream' }));
	$('download-box').hidden = false;
	if (card.source === 'file') {
		show(link, () => tr('Download the patched OS64.v64 again'));
		link.click();
		say('patch-status', () => [tr('The patched image is downloading as OS64.v64.'),
		    tr('The OS64.v64 you opened is untouched. Keep it as OS64.bak: rename it on the ' +
		       'card, then copy the downloaded OS64.v64 next to it. If your browser saved the ' +
		       'download under another name, such as "OS64 (1).v64", rename it to OS64.v64.')],
		    'good');
		show_check(result.image, () => tr('The patched OS64.v64, as downloaded.'));
	} else {
		show(link, () => tr('Download the patched sample image'));
		say('patch-status', () => tr('The sample image was patched in memory; nothing was ' +
		                             'written. Its check is below.'), 'good');
		show_check(result.image, () => tr('The patched sample image.'));
	}
	hold_patched_image(result.image);
	image_patched(card.source === 'file' ? () => tr('The downloaded OS64.v64')
	                                     : () => tr('The sample image'));
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
			say('patch-status', () => can_use_folders
			        ? tr('Choose the card\'s folder first, or try the sample image.')
			        : tr('Open OS64.v64 first, or try the sample image.'), 'error');
			return;
		}
		await font_step.importing;
		if (work.table === null || font_step.failed) {
			const none = font_step.file === null && work.table === null;
			say('patch-status', () => none
			        ? tr('Choose a font file first, or start from the built-in font.')
			        : tr('The font chosen could not be made into a font table; step 2 says ' +
			             'why.'), 'error');
			return;
		}
		say('patch-status', () => tr('Patching…'));
		if (card.source === 'folder')
			await patch_in_folder(card.folder, work.table);
		else
			patch_to_download(work.table);
	});
}

// ---- Restoring the original --------------------------------------------------------

async function restore() {
	const folder = card.folder;
	const lines = [format(tr('Restore OS64.v64 in "%s" from OS64.bak?'), folder.name),
	               card.image === null
	                       ? tr('OS64.v64, which is missing, is made again with the content of ' +
	                            'OS64.bak, the unpatched image, in one step. OS64.bak stays as ' +
	                            'it is.')
	                       : tr('OS64.v64 takes the content of OS64.bak, the unpatched image, in ' +
	                            'one step. OS64.bak stays as it is.')];
	if (card.original !== null && card.original.error !== null)
		lines.push(format(tr('Note that OS64.bak is not the original of this OS64.v64: %s.'),
		                  card.original.error));
	if (busy || !await ask(lines, tr('Restore'), tr('Cancel')))
		return;
	await card_change(async function () {
		$('patch-steps').replaceChildren();
		say('patch-status', () => tr('Restoring…'));
		const outcome = { backup_created: false, image_created: false, image_replaced: false };
		try {
			const backup = await read_step(folder, backup_name);
			const checking = step(() => tr('Looking for the built-in font in it'));
			if (os64.extractFont(backup.bytes) === null)
				throw page_error(() => tr('OS64.bak holds no built-in font: it is no unpatched ' +
				                          'image, and is not restored.'));
			checking.done(() => tr('it is an unpatched image'));
			const image = await find_entry(folder, image_name) !== null
			        ? await folder.getFileHandle(image_name)
			        : await create_image(folder, outcome);
			await replace_image(image, backup.bytes, () => tr('OS64.v64 from OS64.bak'),
			                    outcome);
			await say_done(folder, () => tr('Done. OS64.v64 holds the original image again, and ' +
			                                'OS64.bak is still beside it.'));
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
		show($('patch-intro'), () => tr('Patches the image in the page and downloads it as ' +
		                                'OS64.v64. The file you opened stays as it is.'));
	}
	$('choose-folder').addEventListener('click', choose_folder);
	$('open-image').addEventListener('change', event => open_image(event.target));
	$('try-sample').addEventListener('click', try_sample);
	$('patch').addEventListener('click', patch);
	$('restore').addEventListener('click', restore);
}

export { watch_card };
