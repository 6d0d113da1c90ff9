// What the parts of the page share that works on the page itself: its
// elements, its status areas, questions asked in the page, and
// downloads.
import { on_language } from './i18n.js';

function $(id) {
	return document.getElementById(id);
}

// What each status area says: the function that makes its lines, and
// their kind, made again in a new language.
const said = new Map();

// Replaces what a status area says with one paragraph per line; kind
// 'error' makes it an alert, which screen readers announce at once.
// lines is a line, a list of them, or a function that makes either, which
// is called again when the language changes.
function say(area, lines, kind) {
	said.set(area, { make: typeof lines === 'function' ? lines : () => lines, kind: kind });
	write_status(area);
}

function write_status(area) {
	const { make, kind } = said.get(area);
	const box = $(area);
	box.replaceChildren();
	for (const line of [].concat(make())) {
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

on_language(function () {
	for (const area of said.keys())
		write_status(area);
});

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

export { $, say, ask, download };
