// Looking messages up in a catalog and formatting them, as the C++ does
// (src/messages.cpp): both the engine's API (os64.js) and the page
// (i18n.js) translate with it.  It needs no browser and imports nothing.
//
// A catalog is { language, plurals, messages }: the BCP 47 tag of its
// language; for each plural category of Intl.PluralRules, the index of
// the form of a message that the category takes; and a Map from the key
// of each English message (message_key) to its translation, or for a
// message with forms, its list of forms.  English needs no catalog: null
// stands for it.

// The key of a message in a catalog: the 32-bit FNV-1a hash of its UTF-16
// code units, so that the page carries no second copy of the English.
// The build refuses catalogs where two messages have one key.
function message_key(message) {
	let hash = 0x811C9DC5;
	for (let i = 0; i < message.length; i++)
		hash = Math.imul(hash ^ message.charCodeAt(i), 0x01000193) >>> 0;
	return hash;
}

// pattern with each %s replaced by the next of args, each %N$s by the
// Nth, and %% by %.
function format(pattern, ...args) {
	let next = 0;
	return pattern.replace(/%(?:(\d+)\$)?s|%%/g, function (directive, position) {
		if (directive === '%%')
			return '%';
		const arg = args[position !== undefined ? Number(position) - 1 : next++];
		return arg === undefined ? '' : String(arg);
	});
}

function translate(catalog, message) {
	if (catalog === null)
		return message;
	const found = catalog.messages.get(message_key(message));
	return typeof found === 'string' ? found : message;
}

// The form of a message for the number n, of the English forms one and
// many.
function translate_plural(catalog, one, many, n) {
	if (catalog === null)
		return n === 1 ? one : many;
	const forms = catalog.messages.get(message_key(one));
	if (!Array.isArray(forms))
		return n === 1 ? one : many;
	const category = new Intl.PluralRules(catalog.language).select(n);
	return forms[catalog.plurals[category] ?? forms.length - 1];
}

// n as the language of the catalog writes a count.
function format_number(catalog, n) {
	return new Intl.NumberFormat(catalog === null ? 'en' : catalog.language).format(n);
}

export { format, message_key, translate, translate_plural, format_number };
