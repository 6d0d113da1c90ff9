// Step 2, the new font: a font file imported with the options as they
// stand, the code page of the menu's slots, the built-in font to start
// from, the work an earlier visit kept, and the downloads of the table and
// the sheet.  The font it makes becomes the work (font_work.js), which the
// editor then changes.
import { card } from './card_state.js';
import { codepage_label, is_sample, script_sample } from './codepage_list.js';
import { draw_sample_text, redraw_fonts } from './draw.js';
import { say_work } from './editor.js';
import { os64 } from './engine_api.js';
import { read_font_file } from './font_input.js';
import {
	work, work_begin, work_clear, work_forget, work_has_unsaved_edits, work_kept, work_mark_saved,
	work_reimport, work_resume, work_set_slots,
} from './font_work.js';
import { format, number, on_language, show, tr, tr_n } from './i18n.js';
import { describe_failure, learn_codepage, read_only } from './page_common.js';
import { $, ask, download, say } from './page_ui.js';

// The font file chosen ({ bytes, name }) or null, the pixel size asked
// for it (null for the one it is read at by default), the number of the
// latest import, whose result alone counts, and whether it failed; the
// work an earlier visit kept, while the page offers to go on with it.
const font_step = {
	file: null,
	size: null,
	imports: 0,
	importing: Promise.resolve(),
	failed: false,
	kept: null,
};

// The table the menu shows after the patch: the font over the start of
// the built-in one, for a raw table shorter than 2048 bytes.
function new_table(bytes) {
	const table = new Uint8Array(2048);
	if (card.builtin !== null)
		table.set(card.builtin);
	table.set(bytes);
	return table;
}

// Makes the new font of the chosen file with the options as they stand,
// and shows it.  An import that a later one overtakes is dropped.  The
// patch waits for the latest one.
function import_font() {
	font_step.importing = run_import();
	return font_step.importing;
}

async function run_import() {
	const file = font_step.file;
	if (file === null)
		return;
	const ticket = ++font_step.imports;
	const slots = $('slots').value;
	const codepage = $('codepage').value.trim();
	const fill = $('fill').checked ? card.builtin : null;
	let input = null;
	let failure = null;
	try {
		input = await read_font_file(file.bytes, file.name,
		                             { slots: slots, codepage: codepage,
		                               size: font_step.size || 0, fill: fill,
		                               // TRANSLATORS: as in "they were taken from %s".
		                               fillName: tr('the built-in font') });
	} catch (error) {
		failure = describe_failure(error);
		input = error;
	}
	// Whether the code page named is what the font cannot take: without
	// it, the font is read.
	const codepage_failed = failure !== null && codepage !== '' &&
	        (await os64.importFont(file.bytes, file.name, { slots: slots,
	                                                         size: font_step.size || 0 }))
	                .error === null;
	if (ticket !== font_step.imports)
		return;
	show_size(input.scalable === true, input.size);
	show_suggestion(failure === null ? input.suggestion : null);
	font_step.failed = failure !== null;
	if (failure !== null) {
		// The edits of a font whose options went wrong stay for the next
		// try; a new file that cannot be read leaves no font.
		if (work.source !== file)
			work_clear();
		const lines = [format(tr('%s.'), failure)];
		if (codepage_failed)
			lines.push(format(tr('The code page field says "%s". Empty it for a font that names ' +
			                     'its characters, or choose a code page from its list.'),
			                  codepage));
		if (input.fitsAt && input.scalable === true)
			lines.push(format(tr('Its glyphs fit at size %1$s: enter %1$s as the size in pixels.'),
			                  number(input.fitsAt)));
		say('font-status', lines, 'error');
		return;
	}
	const font = { table: new_table(input.font), name: file.name, kind: 'file', source: file,
	               slots: slots, missing: input.missing, filled: fill !== null };
	if (work.source === file)
		work_reimport(font);
	else
		work_begin(font);
	const lines = [input.note];
	if (file.name === 'sample.pf' && card.source === 'sample')
		lines.push(tr('The sample font draws its letters plain where the sample image draws ' +
		              'them bold.'));
	lines.push(...input.warnings.map(warning => format(tr('Warning: %s.'), warning)));
	if (input.missing.length > 0 && $('fill').checked && card.builtin === null)
		lines.push(tr('There is no built-in font to take the missing characters from yet: load ' +
		              'the card\'s image first.'));
	say('font-status', lines);
}

// The card's built-in font changed: a font made of it, or filled from
// it, is made again, keeping its edits.
function builtin_changed() {
	if (work.kind === 'builtin' && card.builtin !== null)
		work_reimport({ table: card.builtin, missing: [], filled: false });
	return import_font();
}

// Offers the code page the import suggests for the font, at a click, or
// takes the offer back with null.
function show_suggestion(suggestion) {
	$('suggestion-box').hidden = suggestion === null;
	if (suggestion === null)
		return;
	const page = offered().find(page => page.name === suggestion.slots);
	show($('use-suggestion'), () => format(tr_n('Use %s for the menu, which places %s more ' +
	                                            'character of the font',
	                                            'Use %s for the menu, which places %s more ' +
	                                            'characters of the font', suggestion.places),
	                                       page ? codepage_label(page) : suggestion.slots,
	                                       number(suggestion.places)));
	$('use-suggestion').dataset.slots = suggestion.slots;
}

// ---- The code page of the menu's slots ---------------------------------------

// The code pages offered, as the engine lists them in the language set,
// asked again when the language changes.
let offered_list = null;
let offered_language = null;

function offered() {
	if (offered_list === null || offered_language !== os64.language()) {
		offered_list = os64.offeredCodepages();
		offered_language = os64.language();
	}
	return offered_list;
}

// Fills the choice of code page, by script, with code page 437 chosen.
function list_codepages() {
	const select = $('slots');
	let group = null;
	for (const page of offered()) {
		if (group === null || group.dataset.script !== page.script) {
			group = document.createElement('optgroup');
			const script = page.script;
			group.dataset.script = script;
			select.append(group);
			show(group, () => offered().find(listed => listed.script === script).scriptTitle,
			     'label');
		}
		const option = document.createElement('option');
		option.value = page.name;
		group.append(option);
		const name = page.name;
		show(option, () => codepage_label(offered().find(listed => listed.name === name)));
	}
	select.value = 'cp437';
}

// Makes name the code page of the slots that the page draws and names
// the characters by, and the sample text one of its script, unless it
// was changed by hand.
function use_codepage(name) {
	const page = os64.codepage(name);
	const listed = offered().find(page => page.name === name);
	if (page.error !== null || listed === undefined)
		return false;
	$('slots').value = name;
	learn_codepage(page.characters, page.title);
	if (is_sample($('sample-text').value))
		$('sample-text').value = script_sample(listed.script);
	return true;
}

// Another code page was chosen: a font file is imported again for it,
// keeping its edits; any other work keeps its glyphs and is drawn anew.
function slots_changed() {
	use_codepage($('slots').value);
	if (font_step.file !== null && work.source === font_step.file)
		return import_font();
	work_set_slots($('slots').value);
	return Promise.resolve();
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
		font_step.size = size;
	return import_font();
}

// Whether the font being made, or the one kept from an earlier visit, may
// make way for another: at once when no edit of it is unsaved, otherwise
// when the person says so.
async function may_replace_work() {
	const kept = font_step.kept;
	const name = shown_name(kept !== null ? kept.font.name : work.name);
	if (!work_has_unsaved_edits() && !(kept !== null && kept.unsaved && kept.edited > 0))
		return true;
	return ask([format(tr('The font you are making from %s has edits that were not saved to a ' +
	                      'file.'), name), tr('Start another font, and lose them?')],
	           tr('Start another font'), tr('Keep editing'));
}

// The name of what a font was made of, as the texts give it: the work
// made of the built-in font keeps that name in English, as it keeps it
// for the next visit.
const builtin_name = 'the built-in font';

function shown_name(name) {
	return name === builtin_name ? tr('the built-in font') : name;
}

// Makes way for another font: the offer of the kept work goes, and so
// does any import still running.
function leave_work() {
	font_step.kept = null;
	$('kept-box').hidden = true;
	font_step.imports++;
	font_step.failed = false;
}

// Takes a font file chosen or dropped, or the sample font.  Returns
// whether it was taken.
async function take_font(file) {
	if (!await may_replace_work())
		return false;
	let bytes;
	try {
		bytes = new Uint8Array(await file.arrayBuffer());
	} catch (error) {
		say('font-status', () => format(tr('Could not read %s: %s'), file.name,
		                                describe_failure(error)), 'error');
		return false;
	}
	use_font_file(bytes, file.name);
	await import_font();
	return true;
}

// Makes a font file the one to import, in place of the work.
function use_font_file(bytes, name) {
	leave_work();
	show_suggestion(null);
	font_step.file = { bytes: bytes, name: name };
	font_step.size = null;
}

async function start_from_builtin() {
	if (card.builtin === null) {
		const no_image = card.image === null;
		say('font-status', () => no_image
		        ? tr('Load the card\'s image first: the built-in font is the one in an unpatched ' +
		             'OS64.v64.')
		        : tr('The image holds no built-in font: the built-in font is the one in an ' +
		             'unpatched OS64.v64.'), 'error');
		return;
	}
	if (!await may_replace_work())
		return;
	leave_work();
	font_step.file = null;
	$('open-font').value = '';
	show_size(false, null);
	show_suggestion(null);
	work_begin({ table: card.builtin, name: builtin_name, kind: 'builtin',
	             slots: $('slots').value, missing: [], filled: false });
	const from = card.builtin_from;
	say('font-status', () => format(tr('The new font is the built-in font of %s, as it is. ' +
	                                   'Change the glyphs you care about: click one in the new ' +
	                                   'font\'s table, or move to it with the arrow keys and ' +
	                                   'press Enter.'), from()));
}

// ---- The work an earlier visit kept --------------------------------------------

function offer_kept_work() {
	const kept = work_kept();
	if (kept === null || work.table !== null)
		return;
	font_step.kept = kept;
	show($('kept-text'), function () {
		const lines = [format(tr('This browser kept the font you were making from %s (%s).'),
		                      shown_name(kept.font.name),
		                      kept.when.toLocaleString(document.documentElement.lang))];
		if (kept.edited > 0 && kept.unsaved)
			lines.push(format(tr_n('%s glyph of it was changed by hand and not saved to a file.',
			                       '%s glyphs of it were changed by hand and not saved to a file.',
			                       kept.edited), number(kept.edited)));
		else if (kept.edited > 0)
			lines.push(format(tr_n('%s glyph of it was changed by hand.',
			                       '%s glyphs of it were changed by hand.', kept.edited),
			                  number(kept.edited)));
		lines.push(tr('Go on with it?'));
		return lines.join(' ');
	});
	$('kept-box').hidden = false;
}

function resume_kept_work() {
	const kept = font_step.kept;
	leave_work();
	font_step.file = null;
	show_suggestion(null);
	if (!use_codepage(kept.font.slots))
		use_codepage('cp437');
	work_resume(kept);
	work_set_slots($('slots').value);
	say('font-status', () => format(tr('Going on with the font made from %s, as this browser ' +
	                                   'kept it. The import options apply to a font file chosen ' +
	                                   'anew.'), shown_name(kept.font.name)));
}

function discard_kept_work() {
	leave_work();
	work_forget();
	say('font-status', []);
}

// ---- Saving the work in files --------------------------------------------------

// The name of the files saved: the font file's without its extensions.
function saved_name(extension) {
	const base = work.kind === 'builtin' || work.name === builtin_name
	        ? 'builtin' : work.name.replace(/(\.gz)?$/i, '').replace(/\.[^.]*$/, '');
	return (base || 'font') + extension;
}

function save_table() {
	const name = saved_name('.pf');
	download(work.table, name, 'application/octet-stream');
	work_mark_saved();
	say_work(() => format(tr('Downloading %s: the 2048 bytes the patch puts into OS64.v64, which ' +
	                         'os64-fontpatch takes as they are.'), name));
}

async function save_sheet() {
	const name = saved_name('.png');
	try {
		download(os64.exportSheet(work.table, 4), name, 'image/png');
	} catch (error) {
		say_work(() => format(tr('Could not draw the glyph sheet: %s'), describe_failure(error)));
		return;
	}
	work_mark_saved();
	say_work(() => format(tr('Downloading %s: the glyphs at scale 4, which os64-font import reads ' +
	                         'back to the same table, and any image editor can change.'), name));
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

function watch_font_step() {
	list_codepages();
	$('slots').addEventListener('change', slots_changed);
	$('use-suggestion').addEventListener('click', function () {
		if (use_codepage($('use-suggestion').dataset.slots))
			slots_changed();
	});
	$('open-font').addEventListener('change', async function (event) {
		if (event.target.files[0] && !await take_font(event.target.files[0]))
			event.target.value = '';
	});
	watch_drop_zone($('drop-zone'));
	$('start-builtin').addEventListener('click', start_from_builtin);
	$('kept-resume').addEventListener('click', resume_kept_work);
	$('kept-discard').addEventListener('click', discard_kept_work);
	$('save-table').addEventListener('click', save_table);
	$('save-sheet').addEventListener('click', save_sheet);
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
	$('sample-text').addEventListener('input', draw_sample_text);
	// In another language the code pages' names, everything drawn and
	// the import's own messages are made again.
	on_language(function () {
		use_codepage($('slots').value);
		redraw_fonts();
		return font_step.file !== null ? import_font() : Promise.resolve();
	});
}

const font_step_view = read_only(font_step);

export {
	font_step_view as font_step, builtin_changed, may_replace_work, use_font_file,
	offer_kept_work, watch_font_step,
};
