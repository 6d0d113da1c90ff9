// What the parts of the page share that works on the page itself: its
// elements, its status areas, questions asked in the page, and
// downloads.

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
