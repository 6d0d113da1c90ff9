// Drawing: the built-in font and the new font as tables of glyphs, a line
// of sample text in each, and the glyph editor.  It reads the card (the
// built-in font) and the work (the new font, the editor's glyph and
// cursor, the history) and changes neither.  It marks the states of the
// glyph table's cells and the editor's pixels, which editor.js makes.
import { card } from './card_state.js';
import { build_editor_grid, build_table_grid, name_table_cells, pixel_button, table_cell }
        from './editor.js';
import { work, work_edited, work_edited_slots } from './font_work.js';
import { format, number, tr, tr_n } from './i18n.js';
import { character_list, character_name, character_of, hex, slot_of, slots_title }
        from './page_common.js';
import { $ } from './page_ui.js';

const glyph_scale = 3;
const glyph_size = 8 * glyph_scale;
const cell = glyph_size + 1;
const ink = '#1a1a1a';
const paper = '#ffffff';
const grid_line = '#c8c8c8';
const marked = '#a4161a';
const marked_paper = '#fbe3e4';
const edited_ink = '#0b4f9c';
const edited_paper = '#dbe8f8';

function draw_glyph(context, table, code, x, y) {
	for (let row = 0; row < 8; row++) {
		const bits = table[code * 8 + row];
		for (let column = 0; column < 8; column++)
			if (bits & (0x80 >> column))
				context.fillRect(x + column * glyph_scale, y + row * glyph_scale,
				                 glyph_scale, glyph_scale);
	}
}

// Whether the new font lacks the character of a slot: the import lacked
// it and no hand has drawn it since.
function lacking(slot) {
	return work.missing.has(slot) && !work_edited(slot);
}

// Draws one cell of a table.  The cell of a character the font lacks is
// tinted and framed in red, and what it holds, taken from another font,
// is drawn in red; a glyph changed by hand is drawn in blue on blue.
function draw_cell(context, table, slot, look) {
	const x = 1 + (slot % 16) * cell;
	const y = 1 + Math.floor(slot / 16) * cell;
	context.fillStyle = look === 'lacking' ? marked_paper
	                  : look === 'edited' ? edited_paper : paper;
	context.fillRect(x, y, glyph_size, glyph_size);
	if (look === 'lacking') {
		context.strokeStyle = marked;
		context.lineWidth = 2;
		context.strokeRect(x + 1, y + 1, glyph_size - 2, glyph_size - 2);
	}
	context.fillStyle = look === 'lacking' ? marked : look === 'edited' ? edited_ink : ink;
	draw_glyph(context, table, slot, x, y);
}

// Draws the 256 glyphs as 16 rows of 16, in slot order, with a grid
// between them; look_of(slot) says how each is marked.
function draw_table(canvas, table, label, look_of) {
	const size = 16 * cell + 1;
	canvas.width = size;
	canvas.height = size;
	const context = canvas.getContext('2d');
	context.fillStyle = grid_line;
	context.fillRect(0, 0, size, size);
	for (let slot = 0; slot < 256; slot++)
		draw_cell(context, table, slot, look_of(slot));
	canvas.setAttribute('aria-label', label);
}

function clear_canvas(canvas, label) {
	canvas.width = 0;
	canvas.height = 0;
	canvas.setAttribute('aria-label', label);
}

// Draws text one character a glyph, as the menu would: each character
// with the glyph of its slot in the menu's code page.  A character the
// font lacks (lacks(slot) says so) is drawn in red and underlined; one the
// code page lacks is drawn as a red box, as os64-font show draws it.
// Returns the characters of each kind.
function draw_text(canvas, table, text, lacks, what) {
	const characters = Array.from(text, c => c.codePointAt(0));
	const width = Math.max(characters.length, 1) * glyph_size;
	canvas.width = width;
	canvas.height = glyph_size + 6;
	const context = canvas.getContext('2d');
	context.fillStyle = paper;
	context.fillRect(0, 0, width, canvas.height);
	const lacked = [];
	const unknown = [];
	characters.forEach(function (code, i) {
		const x = i * glyph_size;
		const slot = slot_of(code);
		if (slot === undefined) {
			unknown.push(code);
			context.strokeStyle = marked;
			context.lineWidth = 2;
			context.strokeRect(x + 3, 3, glyph_size - 6, glyph_size - 6);
			return;
		}
		const lacks_it = lacks(slot);
		context.fillStyle = lacks_it ? marked : ink;
		draw_glyph(context, table, slot, x, 0);
		if (lacks_it) {
			lacked.push(code);
			context.fillRect(x + 1, glyph_size + 2, glyph_size - 2, 3);
		}
	});
	let label = format(tr('"%s" set in %s'), text, what);
	if (lacked.length > 0)
		label = format(tr('%s; underlined, as the font lacks them: %s'), label,
		               character_list(lacked));
	if (unknown.length > 0)
		label = format(tr('%s; drawn as boxes, as %s lacks them: %s'), label, slots_title(),
		               character_list(unknown));
	canvas.setAttribute('aria-label', label);
	return { lacking: lacked, unknown: unknown };
}

function new_font_look(slot) {
	return lacking(slot) ? 'lacking' : work_edited(slot) ? 'edited' : 'plain';
}

// What the new font's table says of itself.
function new_font_label() {
	let label = tr('The 256 glyphs of the new font');
	const lacked = Array.from(work.missing).filter(lacking).length;
	if (lacked > 0)
		label = format(work.filled
		        ? tr_n('%s; %s character it lacks, framed in red, with the built-in font\'s glyph',
		               '%s; %s characters it lacks, framed in red, with the built-in font\'s ' +
		               'glyphs', lacked)
		        : tr_n('%s; %s character it lacks, framed in red, left empty',
		               '%s; %s characters it lacks, framed in red, left empty', lacked),
		        label, number(lacked));
	const edited = work_edited_slots().length;
	if (edited > 0)
		label = format(tr_n('%s; %s glyph changed by hand, in blue',
		                    '%s; %s glyphs changed by hand, in blue', edited), label, number(edited));
	return label;
}

// Says what the sample text shows of the new font, under it.
function draw_sample_text() {
	const text = $('sample-text').value;
	let sample = null;
	if (card.builtin !== null)
		sample = draw_text($('builtin-text'), card.builtin, text, () => false,
		                   tr('the built-in font'));
	else
		clear_canvas($('builtin-text'), tr('The sample text, drawn once an image is loaded'));
	if (work.table !== null)
		sample = draw_text($('new-text'), work.table, text, lacking, tr('the new font'));
	else
		clear_canvas($('new-text'), tr('The sample text, drawn once a font is chosen'));
	const lines = [];
	if (sample !== null && sample.lacking.length > 0)
		lines.push(format(work.filled
		        ? tr('The new font lacks %s of the sample text, underlined in red and drawn with ' +
		             'the built-in font\'s glyphs.')
		        : tr('The new font lacks %s of the sample text, underlined in red: the menu ' +
		             'shows a blank for each.'), character_list(sample.lacking)));
	if (sample !== null && sample.unknown.length > 0)
		lines.push(format(tr('%s lacks %s, drawn as a red box: the menu cannot show it.'),
		                  slots_title(), character_list(sample.unknown))
		                   .replace(/^./, first => first.toUpperCase()));
	$('sample-status').textContent = lines.join(' ');
}

// The table's cell for a slot says what the drawing shows.
function describe_grid_cell(slot) {
	const grid_cell = table_cell(slot);
	const look = new_font_look(slot);
	const description = look === 'edited' ? tr('changed by hand')
	                  : look !== 'lacking' ? ''
	                  : work.filled ? tr('lacking, the built-in font\'s glyph')
	                                : tr('lacking, empty');
	if (grid_cell.getAttribute('aria-description') !== description)
		grid_cell.setAttribute('aria-description', description);
}

// The slot whose cell of the table is marked as open in the editor.
let marked_slot = null;

function mark_open_glyph() {
	const slot = work.table !== null ? work.slot : null;
	if (table_cell(0) === null || slot === marked_slot)
		return;
	if (marked_slot !== null)
		table_cell(marked_slot).setAttribute('aria-selected', 'false');
	if (slot !== null)
		table_cell(slot).setAttribute('aria-selected', 'true');
	marked_slot = slot;
}

// Draws the glyph open in the editor, its cursor, and the state of the
// history's buttons.
function draw_editor() {
	$('work-tools').hidden = work.table === null;
	$('undo').setAttribute('aria-disabled', String(work.undo.length === 0));
	$('redo').setAttribute('aria-disabled', String(work.redo.length === 0));
	$('editor').hidden = work.table === null || work.slot === null;
	mark_open_glyph();
	if ($('editor').hidden)
		return;
	build_editor_grid();
	const slot = work.slot;
	$('editor-heading').textContent = character_of(slot) === 0
	        ? format(tr('Glyph %s (no character)'), '0x' + hex(slot, 2))
	        : format(tr('Glyph %s %s'), '0x' + hex(slot, 2), character_name(character_of(slot)));
	for (let i = 0; i < 64; i++) {
		const button = pixel_button(i);
		const row = i >> 3;
		const column = i & 7;
		const on = (work.table[slot * 8 + row] & (0x80 >> column)) !== 0;
		const here = row === work.cursor.row && column === work.cursor.column;
		if (button.getAttribute('aria-pressed') !== String(on))
			button.setAttribute('aria-pressed', String(on));
		button.classList.toggle('cursor', here);
		button.tabIndex = here ? 0 : -1;
	}
}

// Redraws one glyph of the new font where it shows: its cell of the
// table, the sample text, the editor.
function redraw_glyph(slot) {
	const canvas = $('new-table');
	if (canvas.width > 0)
		draw_cell(canvas.getContext('2d'), work.table, slot, new_font_look(slot));
	if (table_cell(0) !== null) {
		describe_grid_cell(slot);
		$('new-grid').setAttribute('aria-label', new_font_label());
	}
	draw_sample_text();
	draw_editor();
}

// Redraws both fonts, the sample text and the editor.
function redraw_fonts() {
	if (card.builtin !== null)
		draw_table($('builtin-table'), card.builtin, tr('The 256 glyphs of the built-in font'),
		           () => 'plain');
	else
		clear_canvas($('builtin-table'), tr('No built-in font to show'));
	$('new-grid').hidden = work.table === null;
	$('new-grid-note').hidden = work.table === null;
	if (work.table !== null) {
		const label = new_font_label();
		draw_table($('new-table'), work.table, label, new_font_look);
		$('new-table').setAttribute('aria-hidden', 'true');
		build_table_grid();
		name_table_cells();
		$('new-grid').setAttribute('aria-label', label);
		for (let slot = 0; slot < 256; slot++)
			describe_grid_cell(slot);
	} else {
		clear_canvas($('new-table'), tr('No font chosen yet'));
		$('new-table').removeAttribute('aria-hidden');
	}
	draw_sample_text();
	draw_editor();
}

export { draw_sample_text, draw_editor, redraw_glyph, redraw_fonts };
