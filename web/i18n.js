// The page in the reader's language: the language it starts in, the
// language menu, the page's fixed texts, and the texts the modules show,
// which are made again in the new language when another is chosen.  The
// catalogs and the lookup are the engine's API's (os64.translate and the
// rest), so the page and the engine's messages speak one language.
import { os64 } from './engine_api.js';
import { format } from './messages_format.js';

function tr(message) {
	return os64.translate(message);
}

// The form of a message for the number n, of the English forms one and
// many: tr_n('%s glyph', '%s glyphs', n).
function tr_n(one, many, n) {
	return os64.translatePlural(one, many, n);
}

// n as the language writes a count.
function number(n) {
	return os64.formatNumber(n);
}

// Where the language chosen is kept for the next visit.
const language_key = 'os64-fontpatch: the language';

// The language to start in: the one chosen on an earlier visit, or else the
// first of the browser's that a catalog is for, or else English.  A
// language matches by its primary subtag (de-AT is de), Portuguese takes
// Brazil's, and Chinese its script: Traditional for zh-Hant, zh-TW, zh-HK
// and zh-MO, Simplified for the rest.
function preferred_language() {
	const tags = os64.languages().map(entry => entry.tag);
	let kept = null;
	try {
		kept = localStorage.getItem(language_key);
	} catch (ignored) {
		// A browser that keeps nothing starts from its own languages.
	}
	if (tags.includes(kept))
		return kept;
	for (const wanted of navigator.languages || [navigator.language || 'en']) {
		const lower = String(wanted).toLowerCase();
		const exact = tags.find(tag => tag.toLowerCase() === lower);
		if (exact !== undefined)
			return exact;
		const primary = lower.split('-')[0];
		if (primary === 'zh')
			return /^zh-(hant|tw|hk|mo)\b/.test(lower) ? 'zh-TW' : 'zh-CN';
		const first = tags.find(tag => tag.toLowerCase().split('-')[0] === primary);
		if (first !== undefined)
			return first;
	}
	return 'en';
}

// The English of the page's fixed texts, by element, read once: the
// content of an element marked data-i18n, and the attributes that its
// data-i18n-attributes names.
const fixed = new Map();

function read_fixed_texts() {
	for (const element of document.querySelectorAll('[data-i18n], [data-i18n-attributes]')) {
		const attributes = {};
		for (const name of (element.dataset.i18nAttributes || '').split(' ').filter(Boolean))
			attributes[name] = element.getAttribute(name);
		fixed.set(element, {
			html: element.hasAttribute('data-i18n')
			        ? element.innerHTML.replace(/\s+/g, ' ').trim() : null,
			attributes: attributes,
		});
	}
}

// The fixed texts in the language set.  Their translations are markup
// from the page's own catalogs, which the build checks hold the same
// elements as the English.
function translate_fixed_texts() {
	for (const [element, english] of fixed) {
		if (english.html !== null)
			element.innerHTML = tr(english.html);
		for (const [name, value] of Object.entries(english.attributes))
			element.setAttribute(name, tr(value));
	}
	document.title = tr('OS64 font patcher');
}

// The texts the modules show: for each element, and for its content (the
// key '') or an attribute, the function that makes the text, called again
// in a new language.  An element no longer in the page is forgotten.
const shown = new Map();
const listeners = [];

// Shows the text make() makes as the element's content, or as its
// attribute, now and in every language chosen later.
function show(element, make, attribute = '') {
	if (!shown.has(element))
		shown.set(element, new Map());
	shown.get(element).set(attribute, make);
	apply(element, attribute, make);
}

function apply(element, attribute, make) {
	const text = make();
	if (attribute === '')
		element.textContent = text;
	else
		element.setAttribute(attribute, text);
}

function show_again() {
	for (const [element, texts] of shown) {
		if (!element.isConnected) {
			shown.delete(element);
			continue;
		}
		for (const [attribute, make] of texts)
			apply(element, attribute, make);
	}
}

// Has listener called after the language changed, once the fixed and the
// shown texts are in the new one; a listener may return a promise, which
// the change waits for.
function on_language(listener) {
	listeners.push(listener);
}

async function use_language(tag) {
	await os64.setLanguage(tag);
	document.documentElement.lang = tag;
	translate_fixed_texts();
	show_again();
}

// Fills the language menu and starts in the preferred language, before
// the page's parts show anything; switches at once when another is
// chosen, keeps the choice for the next visit, and has the parts make
// their texts anew.
async function start_language() {
	read_fixed_texts();
	const menu = document.getElementById('language');
	for (const entry of os64.languages()) {
		const option = document.createElement('option');
		option.value = entry.tag;
		option.lang = entry.tag;
		option.textContent = entry.name;
		menu.append(option);
	}
	const tag = preferred_language();
	menu.value = tag;
	await use_language(tag);
	document.documentElement.dataset.language = tag;
	menu.addEventListener('change', async function () {
		try {
			localStorage.setItem(language_key, menu.value);
		} catch (ignored) {
			// Kept for this visit only.
		}
		const tag = menu.value;
		await use_language(tag);
		for (const listener of listeners)
			await listener(tag);
		// For whoever waits for the page in the new language, as the tests do.
		document.documentElement.dataset.language = tag;
	});
}

export { tr, tr_n, format, number, show, on_language, start_language };
