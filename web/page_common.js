// What the parts of the page share that needs no browser: the names of
// the card's files, numbers and characters as the command-line tools
// print them, byte comparison, and the read-only view through which a
// module lets the others see its state.  page_ui.js holds what works on
// the page itself.

const image_name = 'OS64.v64';
const backup_name = 'OS64.bak';

function hex(value, digits) {
	return value.toString(16).toUpperCase().padStart(digits, '0');
}

// Eight bytes as the command-line tools print them: "01 B9 09 28  8D D1 CE 54".
function checksum_text(words) {
	const bytes = words.map(w => hex(w, 8).match(/../g).join(' '));
	return bytes.join('  ');
}

// What went wrong, as the page says it: an error of the page's own is
// made in the language set (its make() gives a line or a list of them,
// joined by line feeds), any other says what its message says.
function describe_failure(error) {
	if (error && typeof error.make === 'function')
		return [].concat(error.make()).join('\n');
	return error && error.message ? error.message : String(error);
}

// An error of the page's own, whose text make() makes in the language set
// whenever it is shown.
function page_error(make) {
	return Object.assign(new Error([].concat(make()).join('\n')), { make: make });
}

function same_bytes(a, b) {
	if (a.length !== b.length)
		return false;
	for (let i = 0; i < a.length; i++)
		if (a[i] !== b[i])
			return false;
	return true;
}

// A view of a module's state for the other modules: each field can be
// read, none can be set (an assignment throws), so every change goes
// through the owner's functions.
function read_only(state) {
	const view = {};
	for (const key of Object.keys(state))
		Object.defineProperty(view, key, { get: () => state[key], enumerable: true });
	return Object.freeze(view);
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

// The code page of the menu's slots: the character each slot draws, the
// slot of every character (the lowest where the code page has a
// character twice), and how the messages name the code page; set once
// the engine is ready, and again when another is chosen.
let characters = null;
let slots = null;
let codepage_title = '';

// Learns the code page of the slots as the engine has it: table is
// os64.codepage(name).characters, title its title.
function learn_codepage(table, title) {
	characters = Array.from(table);
	codepage_title = title;
	slots = new Map();
	characters.forEach(function (code, slot) {
		if (slot > 0 && code !== 0 && !slots.has(code))
			slots.set(code, slot);
	});
}

// The character a slot draws, as a code point; 0 for slot 0 and for a
// slot the code page leaves without one.
function character_of(slot) {
	return characters[slot];
}

// The slot that draws a character, or undefined when the code page has
// no slot for it.
function slot_of(code) {
	return slots.get(code);
}

// "code page 437", "KOI8-R": the code page of the slots, as named.
function slots_title() {
	return codepage_title;
}

// "0x82 U+00E9 é": a slot and the character it draws; slot 0 draws none.
function slot_name(slot) {
	const name = '0x' + hex(slot, 2);
	return character_of(slot) === 0 ? name : name + ' ' + character_name(character_of(slot));
}

export {
	image_name, backup_name, hex, checksum_text, describe_failure, page_error, same_bytes, read_only,
	character_name, character_list, learn_codepage, character_of, slot_of, slots_title,
	slot_name,
};
