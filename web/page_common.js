// What the parts of the page share: its elements, its status areas,
// numbers and characters as the command-line tools print them, questions
// asked in the page, and downloads.  The page's scripts are plain scripts
// that share one global scope, in the order page.html includes them.
'use strict';

const image_name = 'OS64.v64';
const backup_name = 'OS64.bak';

function $(id) {
	return document.getElementById(id);
}

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

function count(n, one, many) {
	return n + ' ' + (n === 1 ? one : many);
}

function same_bytes(a, b) {
	if (a.length !== b.length)
		return false;
	for (let i = 0; i < a.length; i++)
		if (a[i] !== b[i])
			return false;
	return true;
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

// The character each slot draws, and the slot of every character (the
// lowest where code page 437 has a character twice); set once the engine
// is ready.
let character_of = null;
let slot_of = null;

function learn_cp437() {
	character_of = os64.cp437();
	slot_of = new Map();
	character_of.forEach(function (code, slot) {
		if (slot > 0 && !slot_of.has(code))
			slot_of.set(code, slot);
	});
}

// "0x82 U+00E9 é": a slot and the character it draws; slot 0 draws none.
function slot_name(slot) {
	const name = '0x' + hex(slot, 2);
	return slot === 0 ? name : name + ' ' + character_name(character_of[slot]);
}

// Asks a question in the page and resolves to whether the person chose
// yes.  Escape, or the other button, is no.
function ask(lines, yes, no) {
	const dialog = $('question');
	const text = $('question-text');
	text.replaceChildren(...[].concat(lines).map(function (line) {
		const p = document.createElement('p');
		p.textContent = line;
		return p;
	}));
	$('question-yes').textContent = yes;
	$('question-no').textContent = no;
	return new Promise(function (resolve) {
		function answer(value) {
			$('question-yes').onclick = null;
			$('question-no').onclick = null;
			dialog.oncancel = null;
			dialog.close();
			resolve(value);
		}
		$('question-yes').onclick = () => answer(true);
		$('question-no').onclick = () => answer(false);
		dialog.oncancel = function (event) {
			event.preventDefault();
			answer(false);
		};
		dialog.showModal();
	});
}

// Offers bytes as a download under a name.
function download(bytes, name, type) {
	const link = document.createElement('a');
	link.href = URL.createObjectURL(new Blob([bytes], { type: type }));
	link.download = name;
	link.hidden = true;
	document.body.append(link);
	link.click();
	link.remove();
	// The browser has read the bytes once the download starts.
	setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}
