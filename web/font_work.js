// The font being made, in one place: its table, the table as imported,
// what it was made of, the code page of the menu's slots it is made for,
// the characters it lacks, the glyph open in the
// editor with the cursor on it, the glyph copied, and the history of
// changes that undo and redo walk.  Every change to it goes through the
// functions here, which record it for undo, keep the work in the
// browser's storage and call the listeners, which redraw.  Nothing else
// writes to it: the other modules see it through a read-only view.
import { read_only, same_bytes } from './page_common.js';

const work = {
	table: null,        // the 2048 bytes that will be patched, or null
	imported: null,     // the table as imported, which edits are measured against
	name: '',           // what it was made of: a file's name, or the built-in font
	kind: null,         // 'file', 'builtin', or 'kept' for work taken back from storage
	source: null,       // the file chosen, for 'file': a new import of it keeps the edits
	slots: 'cp437',     // the code page of the menu's slots the font is made for
	missing: new Set(), // the slots of the characters the import lacked
	filled: false,      // whether those slots hold the built-in font's glyphs
	slot: null,         // the glyph open in the editor, or null
	cursor: { row: 0, column: 0 },
	copied: null,       // the 8 bytes of the glyph copied, or null
	undo: [],           // changes, each { slot, before, after }, the latest last
	redo: [],
	stroke: null,       // the drag in progress: { slot, before, value }
	unsaved: false,     // changed since the last download
};

const work_listeners = [];
const work_storage_key = 'os64-fontpatch: the font being made';

// Has listener called after every change, with what changed: 'all', the
// slot of a glyph, 'editor', 'cursor' or 'copied'.
function work_listen(listener) {
	work_listeners.push(listener);
}

// Calls every listener with what changed.
function work_changed(what) {
	for (const listener of work_listeners)
		listener(what);
}

function glyph_of(table, slot) {
	return table.slice(slot * 8, slot * 8 + 8);
}

function work_edited(slot) {
	return work.table !== null &&
	       !same_bytes(work.table.subarray(slot * 8, slot * 8 + 8),
	                   work.imported.subarray(slot * 8, slot * 8 + 8));
}

function work_edited_slots() {
	const slots = [];
	for (let slot = 0; slot < 256 && work.table !== null; slot++)
		if (work_edited(slot))
			slots.push(slot);
	return slots;
}

// Whether there are edits that no download has saved.
function work_has_unsaved_edits() {
	return work.unsaved && work_edited_slots().length > 0;
}

// ---- Starting and importing -------------------------------------------------

// Makes font ({ table, name, kind, source, slots, missing, filled }) the work,
// with a fresh history and nothing open in the editor.  edited is the
// table with edits made to it before, if any.
function work_begin(font, edited = font.table, unsaved = false) {
	Object.assign(work, { table: edited.slice(), imported: font.table.slice(),
	                      name: font.name, kind: font.kind, source: font.source || null,
	                      slots: font.slots || work.slots,
	                      missing: new Set(font.missing), filled: font.filled, slot: null,
	                      undo: [], redo: [], stroke: null, unsaved: unsaved });
	work_save();
	work_changed('all');
}

// A new import of what the work was made of, with other options or
// another built-in font: the glyphs edited keep their edits, the others
// take the new import.  The history no longer fits the table, and goes
// when the import changed anything.
function work_reimport(font) {
	if (same_bytes(font.table, work.imported) && work.filled === font.filled &&
	    same_bytes(Array.from(work.missing), font.missing) &&
	    (font.slots === undefined || font.slots === work.slots))
		return;
	const table = font.table.slice();
	for (const slot of work_edited_slots())
		table.set(work.table.subarray(slot * 8, slot * 8 + 8), slot * 8);
	Object.assign(work, { table: table, imported: font.table.slice(),
	                      slots: font.slots || work.slots,
	                      missing: new Set(font.missing), filled: font.filled, undo: [],
	                      redo: [], stroke: null });
	work_save();
	work_changed('all');
}

// Another code page for the menu's slots, for a font whose glyphs stay as
// they are (one made from the built-in font, or kept from a visit): the
// choice is kept with the work, and the drawing follows it.  With no work
// yet, the choice waits for the next one.
function work_set_slots(name) {
	if (work.slots === name)
		return;
	work.slots = name;
	work_save();
	work_changed('all');
}

// No font at all: the import of a new file failed.
function work_clear() {
	Object.assign(work, { table: null, imported: null, name: '', kind: null, source: null,
	                      missing: new Set(), slot: null, undo: [], redo: [], stroke: null,
	                      unsaved: false });
	work_forget();
	work_changed('all');
}

// ---- Changes, undo and redo -------------------------------------------------------

function set_glyph(slot, bytes) {
	work.table.set(bytes, slot * 8);
}

// Records a change of one glyph as one step of the history.
function record(slot, before) {
	const after = glyph_of(work.table, slot);
	if (same_bytes(before, after))
		return;
	work.undo.push({ slot: slot, before: before, after: after });
	work.redo = [];
	work.unsaved = true;
	work_save();
}

// Replaces the glyph in slot by bytes (8 of them), as one step.
function work_set_glyph(slot, bytes) {
	const before = glyph_of(work.table, slot);
	set_glyph(slot, bytes);
	record(slot, before);
	work_changed(slot);
}

function pixel(slot, row, column) {
	return (work.table[slot * 8 + row] & (0x80 >> column)) !== 0;
}

function set_pixel(slot, row, column, value) {
	const at = slot * 8 + row;
	work.table[at] = value ? work.table[at] | (0x80 >> column) : work.table[at] & ~(0x80 >> column);
}

function work_toggle(row, column) {
	const bytes = glyph_of(work.table, work.slot);
	bytes[row] ^= 0x80 >> column;
	work_set_glyph(work.slot, bytes);
}

// A drag over the pixels of the glyph open in the editor: the first pixel
// is toggled, and every pixel the drag crosses takes the value it took.
// The whole drag is one step.
function work_stroke_begin(row, column) {
	work.stroke = { slot: work.slot, before: glyph_of(work.table, work.slot),
	                value: !pixel(work.slot, row, column) };
	work_stroke_paint(row, column);
}

function work_stroke_paint(row, column) {
	const stroke = work.stroke;
	if (stroke === null || pixel(stroke.slot, row, column) === stroke.value)
		return;
	set_pixel(stroke.slot, row, column, stroke.value);
	work_changed(stroke.slot);
}

function work_stroke_end() {
	const stroke = work.stroke;
	if (stroke === null)
		return;
	work.stroke = null;
	record(stroke.slot, stroke.before);
	work_changed(stroke.slot);
}

// Takes back the latest change, or makes again the latest taken back, and
// opens its glyph in the editor when the editor is open.
function step_history(from, to, bytes_of) {
	work_stroke_end();
	const change = from.pop();
	if (change === undefined)
		return;
	to.push(change);
	set_glyph(change.slot, bytes_of(change));
	work.unsaved = true;
	if (work.slot !== null)
		work.slot = change.slot;
	work_save();
	work_changed(change.slot);
}

function work_undo() {
	step_history(work.undo, work.redo, change => change.before);
}

function work_redo() {
	step_history(work.redo, work.undo, change => change.after);
}

// ---- The editor's selection and the glyph copied ------------------------------

// Opens a glyph in the editor, or closes the editor with null.
function work_open(slot) {
	work_stroke_end();
	work.slot = slot;
	work_changed('editor');
}

function work_move_cursor(row, column) {
	work.cursor = { row: Math.min(7, Math.max(0, row)), column: Math.min(7, Math.max(0, column)) };
	work_changed('cursor');
}

function work_copy(slot) {
	work.copied = glyph_of(work.table, slot);
	work_changed('copied');
}

function work_paste(slot) {
	if (work.copied !== null)
		work_set_glyph(slot, work.copied);
}

// ---- Keeping the work in the browser ------------------------------------------

function to_base64(bytes) {
	return btoa(String.fromCharCode.apply(null, bytes));
}

function from_base64(text) {
	return Uint8Array.from(atob(text), c => c.charCodeAt(0));
}

// Keeps the work in the browser's local storage, which outlives a reload
// or a crash.  A browser that keeps nothing for the page keeps nothing.
function work_save() {
	if (work.table === null)
		return;
	const kept = { table: to_base64(work.table), imported: to_base64(work.imported),
	               name: work.name, slots: work.slots, missing: Array.from(work.missing),
	               filled: work.filled,
	               edited: work_edited_slots(), unsaved: work.unsaved,
	               when: new Date().toISOString() };
	try {
		localStorage.setItem(work_storage_key, JSON.stringify(kept));
	} catch (ignored) {
		// Storage is off or full: the work lives as long as the page.
	}
}

function work_forget() {
	try {
		localStorage.removeItem(work_storage_key);
	} catch (ignored) {
		// Nothing was kept.
	}
}

// The work kept by an earlier visit, as { font, edited, unsaved, when },
// or null when there is none or it cannot be read.
function work_kept() {
	try {
		const kept = JSON.parse(localStorage.getItem(work_storage_key));
		const table = from_base64(kept.table);
		const imported = from_base64(kept.imported);
		if (table.length !== 2048 || imported.length !== 2048)
			return null;
		return { font: { table: imported, name: String(kept.name), kind: 'kept',
		                 slots: typeof kept.slots === 'string' ? kept.slots : 'cp437',
		                 missing: kept.missing.filter(slot => slot >= 0 && slot < 256),
		                 filled: kept.filled === true },
		         table: table, edited: kept.edited.length, unsaved: kept.unsaved === true,
		         when: new Date(kept.when) };
	} catch (ignored) {
		return null;
	}
}

// Takes up the work an earlier visit kept, edits and all.
function work_resume(kept) {
	work_begin(kept.font, kept.table, kept.unsaved);
}

function work_mark_saved() {
	work.unsaved = false;
	work_save();
}

const work_view = read_only(work);

export {
	work_view as work, work_listen, glyph_of, work_edited, work_edited_slots,
	work_has_unsaved_edits, work_begin, work_reimport, work_set_slots, work_clear, work_set_glyph,
	work_toggle,
	work_stroke_begin, work_stroke_paint, work_stroke_end, work_undo, work_redo, work_open,
	work_move_cursor, work_copy, work_paste, work_forget, work_kept, work_resume,
	work_mark_saved,
};
