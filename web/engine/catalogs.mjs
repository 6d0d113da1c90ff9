// Makes the catalogs into a script for the page: of every language, the
// translations of the messages the page and its engine use, as msgfmt
// compiled them (LANGUAGE/LC_MESSAGES/os64-font.mo), in one JSON object
// with the messages' keys (message_key, messages_format.js), compressed by
// zopfli in the gzip format and written in base 85, which the script hands
// to os64_catalogs (os64.js) with the languages' names.
//
// The page's messages are those of its own template, which po/template.cmake
// makes of the page's files.  A message of the page's HTML is markup: its
// translation must hold the same elements, and nothing that runs.  The
// plural forms of each language are checked against the browser's own
// plural rules (Intl.PluralRules), which pick the form on the page: each
// category of numbers must take one form of the catalog's.
//
//   node catalogs.mjs ZOPFLI PAGE.pot LOCALE_FOLDER OUTPUT.html LANGUAGE...
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import { message_key } from '../messages_format.js';
import { base85 } from './base85.mjs';

const [zopfli, template, locale, output, ...languages] = process.argv.slice(2);

function fail(message) {
	console.error('catalogs.mjs: ' + message);
	process.exit(1);
}

// The messages of a PO template, in order: each { id, plural, markup },
// markup for those of an HTML file.
function read_template(file) {
	const messages = [];
	let entry = null;
	let field = null;
	let references = [];
	const unquote = text => JSON.parse(text);
	for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
		if (line.startsWith('#:')) {
			references.push(...line.slice(2).trim().split(/\s+/));
		} else if (line.startsWith('msgid ')) {
			entry = { id: unquote(line.slice(6)), plural: null,
			          markup: references.some(where => /\.html:\d+$/.test(where)) };
			field = 'id';
			messages.push(entry);
			references = [];
		} else if (line.startsWith('msgid_plural ')) {
			entry.plural = unquote(line.slice(13));
			field = 'plural';
		} else if (line.startsWith('msgstr')) {
			field = null;
		} else if (line.startsWith('"') && field !== null) {
			entry[field] += unquote(line);
		}
	}
	return messages.filter(message => message.id !== '');
}

// The translations of a compiled catalog: its header's fields, and each
// message's translation, a string or the list of its forms.
function read_catalog(file) {
	const data = fs.readFileSync(file);
	const little = data.readUInt32LE(0) === 0x950412DE;
	const word = at => little ? data.readUInt32LE(at) : data.readUInt32BE(at);
	const count = word(8);
	const ids = word(12);
	const strings = word(16);
	const text = (table, i) => data.toString('utf8', word(table + i * 8 + 4),
	                                         word(table + i * 8 + 4) + word(table + i * 8));
	const translations = new Map();
	let header = '';
	for (let i = 0; i < count; i++) {
		const id = text(ids, i).split('\0')[0];
		const forms = text(strings, i).split('\0');
		if (id === '')
			header = forms[0];
		else
			translations.set(id, forms.length > 1 ? forms : forms[0]);
	}
	const fields = {};
	for (const line of header.split('\n')) {
		const colon = line.indexOf(':');
		if (colon > 0)
			fields[line.slice(0, colon).trim()] = line.slice(colon + 1).trim();
	}
	return { fields: fields, translations: translations };
}

// The index of the form each plural category of Intl.PluralRules takes,
// from the catalog's Plural-Forms, tried on the numbers 0 to 1000.
function plural_categories(tag, plural_forms, file) {
	const match = /^nplurals\s*=\s*(\d+);\s*plural\s*=\s*(.+?);?$/.exec(plural_forms || '');
	if (match === null)
		fail(file + ': no Plural-Forms header');
	// A C expression of n, whose operators JavaScript shares.
	if (!/^[n0-9\s%<>=!&|?:()+-]+$/.test(match[2]))
		fail(file + ': a Plural-Forms expression of more than n and numbers');
	const index = new Function('n', 'return Number(' + match[2] + ');');
	const rules = new Intl.PluralRules(tag);
	const categories = {};
	for (let n = 0; n <= 1000; n++) {
		const category = rules.select(n);
		const form = index(n);
		if (!(form >= 0 && form < Number(match[1])))
			fail(file + ': Plural-Forms gives ' + n + ' the form ' + form);
		if (category in categories && categories[category] !== form)
			fail(file + ': Plural-Forms gives numbers of the one category "' + category +
			     '" of ' + tag + ' different forms (' + n + ' takes ' + form + ', not ' +
			     categories[category] + ')');
		categories[category] = form;
	}
	return categories;
}

// The elements of markup, in order, and whether it holds anything that
// would run: a script, or an attribute of an event.
function elements(markup) {
	return Array.from(markup.matchAll(/<\/?([a-zA-Z]+)[^>]*>/g), tag => tag[0].replace(/\s.*>/, '>'));
}

function runs(markup) {
	return /<script|\son[a-z]+\s*=|javascript:/i.test(markup);
}

const messages = read_template(template);
const catalogs = {};
const names = [];
for (const language of languages) {
	const file = path.join(locale, language, 'LC_MESSAGES', 'os64-font.mo');
	const { fields, translations } = read_catalog(file);
	const tag = language.replace('_', '-');
	const name = fields['X-Language-Name'];
	if (!name)
		fail(file + ': no X-Language-Name header, which names the language in its own words');
	const entry = { plurals: plural_categories(tag, fields['Plural-Forms'], file),
	                translations: [] };
	for (const message of messages) {
		const translation = translations.get(message.id);
		if (translation === undefined)
			fail(file + ': no translation of "' + message.id + '"');
		if (message.markup) {
			const expected = elements(message.id).sort().join(' ');
			if (elements(translation).sort().join(' ') !== expected || runs(translation))
				fail(file + ': the translation of "' + message.id + '" does not hold the ' +
				     'elements ' + (expected || 'none') + ', and nothing else of markup');
		}
		// The English needs no translation; the page takes the message itself.
		entry.translations.push(translation === message.id ? null : translation);
	}
	catalogs[tag] = entry;
	names.push({ tag: tag, name: name });
}

// The page finds a message by its key; no two may share one.
const keys = messages.map(message => message_key(message.id));
const seen = new Map();
messages.forEach(function (message, i) {
	if (seen.has(keys[i]))
		fail('"' + message.id + '" and "' + seen.get(keys[i]) + '" have the same key');
	seen.set(keys[i], message.id);
});
// zopfli reads a file, not a pipe.
const json = output + '.json';
fs.writeFileSync(json, JSON.stringify({ keys: keys, languages: catalogs }));
const packed = base85(execFileSync(zopfli, ['--gzip', '--i15', '-c', json],
                                   { maxBuffer: 64 << 20 }));
fs.rmSync(json);
fs.writeFileSync(output,
                 '<!-- The catalogs of the page\'s messages, gzip-compressed, in base 85: made ' +
                 'by catalogs.mjs. -->\n' +
                 '<script>os64_catalogs(' + JSON.stringify(names) + ', \'' + packed + '\');' +
                 '</script>\n');
