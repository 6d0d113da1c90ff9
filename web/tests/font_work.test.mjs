// The work and its history, and the work kept in the browser's storage,
// under Node alone: font_work.js needs no page.
import assert from 'node:assert/strict';
import { beforeEach, test } from 'node:test';

import * as w from '../font_work.js';

// A storage that keeps items in a Map, or refuses every write.
function storage(refuse = false) {
	const items = new Map();
	const setItem = refuse ? () => { throw new Error('quota exceeded'); }
	                       : (key, value) => items.set(key, String(value));
	return { items, setItem, getItem: key => items.get(key) ?? null,
	         removeItem: key => items.delete(key) };
}

const imported = Uint8Array.from({ length: 2048 }, (_, i) => i * 7);
const heard = [];
w.work_listen(what => heard.push(what));

beforeEach(function () {
	globalThis.localStorage = storage();
	w.work_begin({ table: imported, name: 'a.psf', kind: 'file', slots: 'koi8-r', missing: [3, 4],
	               filled: true });
	heard.length = 0;
});

test('a change, a stroke and a paste are one step each of undo and redo', function () {
	w.work_open(1);
	w.work_toggle(0, 0);                  // sets bit 0x80 of row 0 of glyph 1
	w.work_stroke_begin(2, 0);
	w.work_stroke_paint(2, 1);
	w.work_stroke_end();
	w.work_copy(1);
	w.work_paste(9);
	const edited = w.work.table.slice();
	assert.deepEqual(w.work.undo.map(change => change.slot), [1, 1, 9]);
	w.work_undo();
	w.work_undo();
	assert.deepEqual(w.glyph_of(w.work.table, 1),
	                 w.glyph_of(imported, 1).map((b, row) => row === 0 ? b ^ 0x80 : b));
	w.work_undo();
	w.work_undo();                        // nothing left to take back
	assert.deepEqual(w.work.table, imported);
	for (let i = 0; i < 3; i++)
		w.work_redo();
	assert.deepEqual(w.work.table, edited);
	w.work_undo();
	w.work_set_glyph(5, new Uint8Array(8));
	assert.equal(w.work.redo.length, 0, 'a new change drops what undo took back');
	assert.ok(heard.includes(1) && heard.includes(9) && heard.includes('copied'));
});

test('a new import keeps the edited glyphs and drops the history', function () {
	w.work_set_glyph(2, new Uint8Array(8).fill(0xFF));
	const next = imported.map(b => b ^ 1);
	w.work_reimport({ table: next, missing: [], filled: false });
	assert.deepEqual(w.glyph_of(w.work.table, 2), new Uint8Array(8).fill(0xFF));
	assert.deepEqual(w.glyph_of(w.work.table, 3), w.glyph_of(next, 3));
	assert.deepEqual([w.work.undo, w.work_edited_slots()], [[], [2]]);
	assert.throws(() => { w.work.table = null; }, TypeError);
});

test('the work is kept after every change and taken up again as it was', function () {
	w.work_set_glyph(7, new Uint8Array(8).fill(0x18));
	w.work_set_slots('cp866');
	const kept = w.work_kept();
	assert.deepEqual(kept.font, { table: imported, name: 'a.psf', kind: 'kept', slots: 'cp866',
	                              missing: [3, 4], filled: true });
	assert.deepEqual([kept.table, kept.edited, kept.unsaved], [w.work.table, 1, true]);
	w.work_mark_saved();
	assert.equal(w.work_kept().unsaved, false);
	w.work_clear();
	assert.equal(w.work_kept(), null, 'a cleared work is forgotten');
	w.work_resume(kept);
	assert.deepEqual([w.work.table, w.work_edited_slots()], [kept.table, [7]]);
	assert.equal(w.work_has_unsaved_edits(), true);
});

test('damaged kept work is ignored, and storage that refuses keeps nothing', function () {
	const [key, text] = [...localStorage.items][0];
	const damaged = [{ table: 'AAAA' }, { imported: '!' }, { missing: 3 }, { edited: null }]
	        .map(damage => JSON.stringify(Object.assign(JSON.parse(text), damage)));
	for (const text of damaged.concat(['', '{', 'null', '[]'])) {
		localStorage.items.set(key, text);
		assert.equal(w.work_kept(), null, text);
	}
	globalThis.localStorage = storage(true);
	w.work_set_glyph(0, new Uint8Array(8).fill(1));
	assert.deepEqual([w.glyph_of(w.work.table, 0)[0], w.work_kept()], [1, null]);
});
