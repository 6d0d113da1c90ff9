// The page in every language of its catalogs: it starts in the browser's
// language, switches at once keeping the work and every choice, leaves no
// English among what a person reads or hears but names, numbers and file
// names, and lets no text run out of its box on a screen 360 pixels wide
// or at 200 % zoom.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { after, before, test } from 'node:test';
import { pathToFileURL } from 'node:url';

import * as support from './support.mjs';

let browser;
const page_url = pathToFileURL(support.page_file).href;
const cyrillic = '/usr/share/consolefonts/Cyr_a8x8.psf.gz';

before(async function () {
	browser = await support.launch();
});

after(async function () {
	await browser.close();
});

// Opens the page as a browser whose languages are languages would, in
// where, the browser or a context of it with a storage of its own.
function open_in_languages(languages, where = browser) {
	return support.open_page(where, page_url, function (languages) {
		Object.defineProperty(navigator, 'languages', { get: () => languages });
	}, languages);
}

// Chooses a language from the menu, and waits until the page speaks it.
async function choose_language(page, tag) {
	await page.select('#language', tag);
	await page.waitForFunction(tag => document.documentElement.dataset.language === tag, {}, tag);
}

// What a person reads or hears on the page, each text with where it
// stands: the text of every element shown, by its place in the page, and
// the attributes read out (aria-label, aria-description, title and the
// labels of the lists' groups), but for what is hidden from screen
// readers.  The language menu names each language in its own words, and
// is left out.
function readable_texts(page) {
	return page.evaluate(function () {
		const texts = [];
		const shown = element => element.closest('[hidden]') === null &&
		        (element.tagName === 'OPTION' || element.tagName === 'OPTGROUP' ||
		         element.getClientRects().length > 0);
		(function walk(element, where) {
			if (element.id === 'language' || element.tagName === 'SCRIPT' ||
			    element.tagName === 'STYLE' || element.getAttribute('aria-hidden') === 'true' ||
			    !shown(element))
				return;
			for (const name of ['aria-label', 'aria-description', 'title', 'label'])
				if (element.hasAttribute(name))
					texts.push([where + '@' + name, element.getAttribute(name)]);
			let own = '';
			for (const node of element.childNodes)
				if (node.nodeType === Node.TEXT_NODE)
					own += node.textContent;
			if (own.trim() !== '')
				texts.push([where, own.replace(/\s+/g, ' ').trim()]);
			Array.from(element.children).forEach((child, i) => walk(child, where + '/' + i));
		})(document.body, 'body');
		return texts;
	});
}

// A text with the names, numbers and file names taken out: what is left
// must be words of the language.
function without_names(text) {
	return text
	        .replace(/\S*\.(v64|bak|pf|psf|gz|png|ttf|otf|otb|pcf|bdf|fon|fnt)\b/gi, ' ')
	        .replace(/\b[0-9A-F]{2}(  ?[0-9A-F]{2})+\b|\b[0-9A-F]{8}\b/g, ' ')
	        .replace(/U\+[0-9A-F]{4,6}( \S)?/g, ' ')
	        .replace(/\b0x[0-9A-Fa-f]+\b/g, ' ')
	        .replace(/\b(cp|windows-|iso-8859-)\d+\b|\bkoi8-[ru]\b|\bjis-x0201\b/gi, ' ')
	        .replace(/\b(OS64|os64-font(patch)?|PSF[12]?|BDF|PCF|OTB|TrueType|OpenType|FON|FNT|PNG|gzip|FreeType|KOI8-[RU]|ISO|JIS|DOS|Windows|CRC-32|Unicode|Ctrl|Shift|[A-Z])\b/g, ' ')
	        .replace(/[\d\W_]+/g, ' ')
	        .trim();
}

// The words of a language's catalog: those its translations use.  A text
// the same as in English is the language's own only when every word of
// it is one of them, as "Thai" is in German; a text the catalog never
// touched is English words the translations do not use.
function catalog_words(tag) {
	const catalog = new URL('../../po/' + tag.replace('-', '_') + '.po', import.meta.url);
	const words = new Set();
	let translation = false;
	for (const line of fs.readFileSync(catalog, 'utf8').split('\n')) {
		if (/^msgstr/.test(line))
			translation = true;
		else if (/^(msgid|#)/.test(line))
			translation = false;
		if (translation)
			for (const word of line.match(/\p{L}+/gu) || [])
				words.add(word.toLowerCase());
	}
	return words;
}

// Every text that runs out of its box at the width the page is shown at,
// and whether the page scrolls sideways.
function overflowing(page) {
	return page.evaluate(function () {
		const found = [];
		for (const element of document.querySelectorAll('main *, dialog *')) {
			if (element.closest('[hidden]') !== null || element.getClientRects().length === 0 ||
			    ['CANVAS', 'SELECT', 'INPUT', 'OPTION'].includes(element.tagName))
				continue;
			if (getComputedStyle(element).overflowX === 'visible' &&
			    element.scrollWidth > element.clientWidth + 1 && element.clientWidth > 0)
				found.push((element.id || element.tagName) + ': ' +
				           element.textContent.trim().slice(0, 60));
		}
		if (document.documentElement.scrollWidth > document.documentElement.clientWidth)
			found.push('the page scrolls sideways');
		return found;
	});
}

test('every language speaks for the whole page, keeps the work and fits 360 pixels and 200 % zoom',
     { skip: support.cannot_run({ webkit: 'WebDriver runs no script before the page\'s own' }) },
     async function (t) {
	const context = await browser.createBrowserContext();
	const page = await open_in_languages(['en'], context);
	const languages = await page.evaluate(() => os64.languages().map(entry => entry.tag));
	if (languages.length < 2)
		return t.skip('the page carries no catalog but English');
	// A font whose report of characters left out names a code page, and
	// a glyph edited by hand: the texts the page shows most of.
	await page.click('#try-sample');
	await page.waitForSelector('#image-status p.good');
	await (await page.$('#open-font')).uploadFile(cyrillic);
	await page.waitForSelector('#suggestion-box:not([hidden])');
	await page.click('#new-grid [role="gridcell"]');
	await page.waitForSelector('#editor:not([hidden])');
	await page.click('#editor-grid button');
	await page.click('#patch');
	await page.waitForSelector('#patch-status p.good');
	const english = new Map(await readable_texts(page));
	const table = () => page.evaluate(() => document.getElementById('new-table').toDataURL());
	const choices = () => page.evaluate(() => ['slots', 'codepage', 'fill', 'sample-text']
	        .map(id => document.getElementById(id).type === 'checkbox'
	                ? document.getElementById(id).checked : document.getElementById(id).value));
	const drawn = await table();
	const chosen = await choices();

	for (const tag of languages.filter(tag => tag !== 'en')) {
		await page.setViewport({ width: 1000, height: 800 });
		await choose_language(page, tag);
		assert.equal(await page.evaluate(() => document.documentElement.lang), tag);
		const words = catalog_words(tag);
		const left = (await readable_texts(page)).filter(([where, text]) =>
		        english.get(where) === text &&
		        without_names(text).split(/\s+/).some(word => word !== '' &&
		                                                     !words.has(word.toLowerCase())));
		assert.deepEqual(left, [], tag + ': English left on the page');
		assert.equal(await table(), drawn, tag + ': the work changed');
		assert.deepEqual(await choices(), chosen, tag + ': the choices changed');
		// A phone's screen, and a window of 1280 pixels at 200 % zoom, which
		// lays the page out 640 pixels wide.
		for (const [width, zoom] of [[360, 1], [640, 2]]) {
			await page.setViewport({ width: width, height: 800, deviceScaleFactor: zoom });
			assert.deepEqual(await overflowing(page), [],
			                 tag + ': text runs out of its box at ' + width + ' pixels');
		}
	}
	await choose_language(page, 'en');
	assert.deepEqual(new Map(await readable_texts(page)), english);
	assert.deepEqual(page.failures, []);
	await context.close();
});

test('the page starts in the first of the browser\'s languages it has, or in English',
     { skip: support.cannot_run({ webkit: 'WebDriver runs no script before the page\'s own' }) },
     async function (t) {
	const probe = await support.open_page(browser, page_url);
	const languages = await probe.evaluate(() => os64.languages().map(entry => entry.tag));
	await probe.close();
	const cases = [[['xx-YY', 'fr-CA', 'de'], 'fr'], [['pt-PT'], 'pt-BR'], [['zh-HK', 'en'], 'zh-TW'],
	               [['zh-SG'], 'zh-CN'], [['de-AT'], 'de'], [['xx'], 'en']]
	        .filter(([, tag]) => languages.includes(tag));
	if (cases.length < 2)
		return t.skip('the page carries too few catalogs');
	for (const [wanted, tag] of cases) {
		const context = await browser.createBrowserContext();
		const page = await open_in_languages(wanted, context);
		assert.equal(await page.evaluate(() => document.documentElement.lang), tag,
		             wanted.join(', '));
		assert.equal(await page.$eval('#language', menu => menu.value), tag);
		await context.close();
	}
});

test('the language chosen is kept for the next visit',
     { skip: support.cannot_run({ webkit: 'every WebKit page here is a browser of its own, which keeps nothing for the next' }) },
     async function (t) {
	const context = await browser.createBrowserContext();
	const first = await support.open_page(context, page_url);
	const other = (await first.evaluate(() => os64.languages().map(entry => entry.tag)))
	        .find(tag => tag !== 'en');
	if (other === undefined)
		return t.skip('the page carries no catalog but English');
	await choose_language(first, other);
	const again = await support.open_page(context, page_url);
	assert.equal(await again.evaluate(() => document.documentElement.lang), other);
	await context.close();
});

