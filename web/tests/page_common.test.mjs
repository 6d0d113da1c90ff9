// The names of characters, slots and checksums, and the read-only view of
// a module's state, under Node alone: page_common.js needs no page.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import * as c from '../page_common.js';

test('characters and slots are named as os64-font names them', function () {
	// Slot 0 draws nothing, and 0xE9 is drawn by two slots: the lowest counts.
	const table = Array.from({ length: 256 }, (_, slot) => slot);
	table[0x82] = 0xE9;
	table[0x90] = 0xE9;
	table[0x01] = 0x263A;
	table[0x02] = 0x1F600;
	table[0xE0] = 0;
	c.learn_codepage(table, 'a test code page');
	for (const [got, expected] of [
		[c.character_name(0x41), 'U+0041 A'],
		[c.character_name(0x1F600), 'U+1F600 😀'],
		[c.character_list([0xE9, 0x263A, 0xE9]), 'U+00E9 é, U+263A ☺'],
		[c.slot_name(0), '0x00'],
		[c.slot_name(0x82), '0x82 U+00E9 é'],
		[c.slot_name(0x02), '0x02 U+1F600 😀'],
		[c.slot_of(0xE9), 0x82],
		[c.slot_of(0), undefined],
		[c.slot_of(0x263A), 0x01],
		[c.slot_name(0xE0), '0xE0'],
		[c.slots_title(), 'a test code page'],
		[c.checksum_text([0x01B90928, 0x8DD1CE54]), '01 B9 09 28  8D D1 CE 54'],
		[c.describe_failure(c.page_error(() => ['one', 'two'])), 'one\ntwo'],
		[c.describe_failure(new Error('plain')), 'plain'],
	])
		assert.equal(got, expected);
});

test('a read-only view follows its state and refuses changes', function () {
	const state = { slot: 1 };
	const view = c.read_only(state);
	state.slot = 2;
	assert.equal(view.slot, 2);
	assert.throws(() => { view.slot = 3; }, TypeError);
	assert.throws(() => { view.other = 3; }, TypeError);
});
