// The glyph editor's input: the new font's table as a grid of 256 glyphs
// to open, the open glyph's 8×8 pixels, drawn with a mouse, pen or finger
// or from the keyboard, the buttons that change a whole glyph, copy and
// paste, and undo and redo.  Every change goes to the work (font_work.js);
// draw.js shows it.
import {
	glyph_of, work, work_copy, work_move_cursor, work_open, work_paste, work_redo, work_set_glyph,
	work_stroke_begin, work_stroke_end, work_stroke_paint, work_toggle, work_undo,
} from './font_work.js';
import { format, number, show, tr } from './i18n.js';
import { slot_name } from './page_common.js';
import { $ } from './page_ui.js';

// The cells of the table's grid, by slot, and the editor's pixels, row by
// row; made when first needed, so that none of this is built before the
// page is ready.
const table_cells = [];
const pixel_buttons = [];

// The slot whose cell of the table takes the keyboard's focus.
let table_focus = 0;

function make_grid(grid, rows, columns, fill) {
	for (let row = 0; row < rows; row++) {
		const line = document.createElement('div');
		line.setAttribute('role', 'row');
		for (let column = 0; column < columns; column++) {
			const grid_cell = document.createElement('div');
			grid_cell.setAttribute('role', 'gridcell');
			fill(grid_cell, row, column);
			line.append(grid_cell);
		}
		grid.append(line);
	}
}

function build_table_grid() {
	if (table_cells.length > 0)
		return;
	make_grid($('new-grid'), 16, 16, function (grid_cell, row, column) {
		const slot = row * 16 + column;
		grid_cell.setAttribute('aria-label', slot_name(slot));
		grid_cell.setAttribute('aria-selected', 'false');
		grid_cell.tabIndex = slot === table_focus ? 0 : -1;
		grid_cell.dataset.slot = String(slot);
		table_cells.push(grid_cell);
	});
}

// Names every cell of the table's grid by its slot and the character the
// menu's code page gives it, for screen readers.
function name_table_cells() {
	table_cells.forEach(function (grid_cell, slot) {
		if (grid_cell.getAttribute('aria-label') !== slot_name(slot))
			grid_cell.setAttribute('aria-label', slot_name(slot));
	});
}

function build_editor_grid() {
	if (pixel_buttons.length > 0)
		return;
	make_grid($('editor-grid'), 8, 8, function (grid_cell, row, column) {
		const button = document.createElement('button');
		button.type = 'button';
		button.tabIndex = -1;
		show(button, () => format(tr('row %s, column %s'), number(row + 1), number(column + 1)),
		     'aria-label');
		button.setAttribute('aria-pressed', 'false');
		grid_cell.append(button);
		pixel_buttons.push(button);
	});
}

// Says what became of the work; make() makes the text.
function say_work(make) {
	show($('work-status'), make);
}

// ---- Whole glyphs ------------------------------------------------------------

// What each glyph button makes of the eight rows of a glyph.
const glyph_changes = {
	'glyph-clear': () => new Uint8Array(8),
	'glyph-invert': rows => rows.map(bits => ~bits & 0xFF),
	'glyph-up': rows => Uint8Array.from(rows, (_, row) => row < 7 ? rows[row + 1] : 0),
	'glyph-down': rows => Uint8Array.from(rows, (_, row) => row > 0 ? rows[row - 1] : 0),
	'glyph-left': rows => rows.map(bits => (bits << 1) & 0xFF),
	'glyph-right': rows => rows.map(bits => bits >> 1),
	'glyph-imported': (rows, slot) => glyph_of(work.imported, slot),
};

function change_glyph(id) {
	if (work.slot !== null)
		work_set_glyph(work.slot, glyph_changes[id](glyph_of(work.table, work.slot), work.slot));
}

function copy_glyph(slot) {
	work_copy(slot);
	say_work(() => format(tr('Copied glyph %s.'), slot_name(slot)));
}

function paste_glyph(slot) {
	if (work.copied === null)
		return say_work(() => tr('Nothing is copied yet: Ctrl+C on a glyph copies it.'));
	work_paste(slot);
	say_work(() => format(tr('Pasted into glyph %s.'), slot_name(slot)));
}

// Ctrl+C and Ctrl+V (⌘ on a Mac) on a glyph; true when the key was one.
function copy_or_paste(event, slot) {
	if (!(event.ctrlKey || event.metaKey) || event.altKey || event.shiftKey)
		return false;
	if (event.key === 'c' || event.key === 'C')
		copy_glyph(slot);
	else if (event.key === 'v' || event.key === 'V')
		paste_glyph(slot);
	else
		return false;
	event.preventDefault();
	return true;
}

// ---- The table ---------------------------------------------------------------

function focus_table_cell(slot) {
	table_cells[table_focus].tabIndex = -1;
	table_focus = slot;
	table_cells[slot].tabIndex = 0;
	table_cells[slot].focus();
}

function open_glyph(slot, move_focus) {
	work_open(slot);
	if (move_focus)
		pixel_buttons[work.cursor.row * 8 + work.cursor.column].focus();
}

function table_keydown(event) {
	const slot = table_focus;
	if (copy_or_paste(event, slot))
		return;
	const moves = { ArrowLeft: -1, ArrowRight: 1, ArrowUp: -16, ArrowDown: 16,
	                Home: -(slot % 16), End: 15 - slot % 16 };
	if (event.key in moves) {
		const to = slot + moves[event.key];
		if (to >= 0 && to < 256)
			focus_table_cell(to);
	} else if (event.key === 'Enter' || event.key === ' ') {
		open_glyph(slot, true);
	} else {
		return;
	}
	event.preventDefault();
}

// The cell that takes focus becomes the one the keys act on, however it
// got it: the arrow keys, a click, a screen reader or a script.
function table_focusin(event) {
	const grid_cell = event.target.closest('[role="gridcell"]');
	const slot = grid_cell !== null ? Number(grid_cell.dataset.slot) : table_focus;
	if (slot !== table_focus) {
		table_cells[table_focus].tabIndex = -1;
		table_focus = slot;
		grid_cell.tabIndex = 0;
	}
}

function table_click(event) {
	const grid_cell = event.target.closest('[role="gridcell"]');
	if (grid_cell === null)
		return;
	const slot = Number(grid_cell.dataset.slot);
	focus_table_cell(slot);
	open_glyph(slot, false);
}

// ---- The pixels ---------------------------------------------------------------

// The pixel under a pointer, as { row, column }, or null outside the grid.
function pixel_at(event) {
	const box = $('editor-grid').getBoundingClientRect();
	const column = Math.floor((event.clientX - box.left) / box.width * 8);
	const row = Math.floor((event.clientY - box.top) / box.height * 8);
	return row >= 0 && row < 8 && column >= 0 && column < 8 ? { row: row, column: column } : null;
}

// The pixel the drag in progress last painted.
let last_painted = null;

function pointer_down(event) {
	if (event.button !== 0 || work.slot === null)
		return;
	const at = pixel_at(event);
	if (at === null)
		return;
	event.preventDefault();
	try {
		$('editor-grid').setPointerCapture(event.pointerId);
	} catch (ignored) {
		// A pointer the browser does not track: the drag stops at the grid.
	}
	last_painted = at;
	work_move_cursor(at.row, at.column);
	work_stroke_begin(at.row, at.column);
}

// Paints every pixel on the way from the last one painted, so that a
// quick drag leaves no gaps.
function pointer_move(event) {
	if (work.stroke === null || last_painted === null)
		return;
	const at = pixel_at(event);
	if (at === null)
		return;
	const steps = Math.max(Math.abs(at.row - last_painted.row),
	                       Math.abs(at.column - last_painted.column));
	for (let step = 1; step <= steps; step++)
		work_stroke_paint(
		        Math.round(last_painted.row + (at.row - last_painted.row) * step / steps),
		        Math.round(last_painted.column + (at.column - last_painted.column) * step / steps));
	last_painted = at;
}

function pointer_up() {
	last_painted = null;
	work_stroke_end();
}

// A click that no pointer made: Space or Enter on the pixel, or an
// assistive technology's.  A pointer's click has toggled the pixel
// already, on pointerdown.
function pixel_click(event) {
	const index = pixel_buttons.indexOf(event.target);
	if (index < 0 || event.detail !== 0)
		return;
	work_move_cursor(index >> 3, index & 7);
	work_toggle(index >> 3, index & 7);
}

// Likewise, the pixel that takes focus is where the cursor is.
function pixel_focusin(event) {
	const index = pixel_buttons.indexOf(event.target);
	if (index >= 0 && index !== work.cursor.row * 8 + work.cursor.column)
		work_move_cursor(index >> 3, index & 7);
}

function editor_keydown(event) {
	if (copy_or_paste(event, work.slot))
		return;
	const { row, column } = work.cursor;
	const moves = { ArrowLeft: [0, -1], ArrowRight: [0, 1], ArrowUp: [-1, 0], ArrowDown: [1, 0] };
	if (event.key in moves) {
		work_move_cursor(row + moves[event.key][0], column + moves[event.key][1]);
		pixel_buttons[work.cursor.row * 8 + work.cursor.column].focus();
	} else if (event.key === 'PageUp' || event.key === 'PageDown') {
		const to = work.slot + (event.key === 'PageUp' ? -1 : 1);
		if (to >= 0 && to < 256)
			work_open(to);
	} else if (event.key === 'Escape') {
		focus_table_cell(work.slot);
	} else {
		return;
	}
	event.preventDefault();
}

// ---- Undo and redo, anywhere but in a text field --------------------------------

function history_keydown(event) {
	if (!(event.ctrlKey || event.metaKey) || event.altKey || work.table === null ||
	    event.target.closest('input, textarea, dialog') !== null)
		return;
	const key = event.key.toLowerCase();
	if (key === 'z' && !event.shiftKey)
		work_undo();
	else if ((key === 'z' && event.shiftKey) || (key === 'y' && !event.shiftKey))
		work_redo();
	else
		return;
	event.preventDefault();
}

function watch_editor() {
	const grid = $('new-grid');
	grid.addEventListener('keydown', table_keydown);
	grid.addEventListener('click', table_click);
	grid.addEventListener('focusin', table_focusin);
	const pixels = $('editor-grid');
	pixels.addEventListener('pointerdown', pointer_down);
	pixels.addEventListener('pointermove', pointer_move);
	pixels.addEventListener('pointerup', pointer_up);
	pixels.addEventListener('pointercancel', pointer_up);
	pixels.addEventListener('lostpointercapture', pointer_up);
	pixels.addEventListener('click', pixel_click);
	pixels.addEventListener('focusin', pixel_focusin);
	$('editor').addEventListener('keydown', function (event) {
		if (event.target.closest('#editor-grid') !== null)
			editor_keydown(event);
	});
	for (const id of Object.keys(glyph_changes))
		$(id).addEventListener('click', () => change_glyph(id));
	$('glyph-previous').addEventListener('click', () => work_open(Math.max(0, work.slot - 1)));
	$('glyph-next').addEventListener('click', () => work_open(Math.min(255, work.slot + 1)));
	$('glyph-copy').addEventListener('click', () => copy_glyph(work.slot));
	$('glyph-paste').addEventListener('click', () => paste_glyph(work.slot));
	$('undo').addEventListener('click', work_undo);
	$('redo').addEventListener('click', work_redo);
	document.addEventListener('keydown', history_keydown);
}

// The table's cell for a slot, and the editor's pixel at index (its row
// times 8 plus its column), for draw.js to mark; null before the grid is
// built.
function table_cell(slot) {
	return table_cells[slot] ?? null;
}

function pixel_button(index) {
	return pixel_buttons[index] ?? null;
}

export {
	build_table_grid, name_table_cells, build_editor_grid, table_cell, pixel_button, say_work,
	watch_editor,
};
