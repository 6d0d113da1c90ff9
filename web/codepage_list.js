// How the page lists the code pages offered for the menu's slots
// (os64.offeredCodepages()): the name of each script, a description of
// each code page, and a line of sample text in each script.  It needs no
// browser and imports nothing.

const script_names = {
	'latin': 'Latin: Western Europe',
	'latin-central': 'Latin: Central and Eastern Europe',
	'latin-baltic': 'Latin: Baltic and Nordic',
	'latin-southern': 'Latin: Turkish, Maltese and Esperanto',
	'vietnamese': 'Vietnamese',
	'cyrillic': 'Cyrillic',
	'greek': 'Greek',
	'hebrew': 'Hebrew',
	'arabic': 'Arabic',
	'thai': 'Thai',
	'japanese': 'Japanese',
};

const descriptions = {
	'cp437': 'DOS, United States: the built-in font\'s',
	'cp850': 'DOS, Western Europe',
	'cp860': 'DOS, Portuguese',
	'cp861': 'DOS, Icelandic',
	'cp863': 'DOS, Canadian French',
	'cp865': 'DOS, Nordic',
	'iso-8859-1': 'ISO Latin 1, Western Europe',
	'iso-8859-15': 'ISO Latin 9, Western Europe with €',
	'windows-1252': 'Windows, Western Europe',
	'iso-8859-14': 'ISO Latin 8, Celtic',
	'cp852': 'DOS, Central Europe',
	'iso-8859-2': 'ISO Latin 2, Central Europe',
	'windows-1250': 'Windows, Central Europe',
	'iso-8859-16': 'ISO Latin 10, South-Eastern Europe',
	'cp775': 'DOS, Baltic',
	'iso-8859-13': 'ISO Latin 7, Baltic',
	'windows-1257': 'Windows, Baltic',
	'iso-8859-4': 'ISO Latin 4, Northern Europe',
	'iso-8859-10': 'ISO Latin 6, Nordic',
	'cp857': 'DOS, Turkish',
	'iso-8859-9': 'ISO Latin 5, Turkish',
	'windows-1254': 'Windows, Turkish',
	'iso-8859-3': 'ISO Latin 3, Maltese and Esperanto',
	'windows-1258': 'Windows, Vietnamese',
	'cp866': 'DOS, Russian',
	'koi8-r': 'KOI8-R, Russian',
	'koi8-u': 'KOI8-U, Ukrainian',
	'windows-1251': 'Windows, Cyrillic',
	'iso-8859-5': 'ISO, Cyrillic',
	'cp855': 'DOS, Cyrillic',
	'cp737': 'DOS, Greek',
	'cp869': 'DOS, Modern Greek',
	'iso-8859-7': 'ISO, Greek',
	'windows-1253': 'Windows, Greek',
	'cp862': 'DOS, Hebrew',
	'iso-8859-8': 'ISO, Hebrew',
	'windows-1255': 'Windows, Hebrew',
	'cp864': 'DOS, Arabic',
	'iso-8859-6': 'ISO, Arabic',
	'windows-1256': 'Windows, Arabic',
	'cp874': 'DOS and Windows, Thai',
	'iso-8859-11': 'ISO, Thai',
	'jis-x0201': 'JIS X 0201, half-width katakana',
};

// The sample text the page starts with for the code pages of each script.
const samples = {
	'latin': 'Grüße, señor! 25°C ½ ░▒▓ ☺ é€',
	'latin-central': 'Łódź, Příliš žluťoučký kůň ░▒▓',
	'latin-baltic': 'Ąžuolas, Ļoti labi! Ø ░▒▓',
	'latin-southern': 'Günaydın, İstanbul! Ħ ░▒▓',
	'vietnamese': 'Xin chào, Việt Nam!',
	'cyrillic': 'Привет, мир! Ёжик, їжак № ░▒▓',
	'greek': 'Γειά σου, κόσμε! ░▒▓',
	'hebrew': 'שלום עולם! ░▒▓',
	'arabic': 'مرحبا بالعالم',
	'thai': 'สวัสดีชาวโลก',
	'japanese': 'ｺﾝﾆﾁﾊ, ｾｶｲ! ABC 123',
};

function script_name(script) {
	return script_names[script] || script;
}

// "DOS, Russian (cp866)": a code page offered, as its list names it.
function codepage_label(page) {
	return (descriptions[page.name] || page.title) + ' (' + page.name + ')';
}

function script_sample(script) {
	return samples[script] || samples.latin;
}

// Whether text is one of the samples, which the page may then replace by
// another script's.
function is_sample(text) {
	return Object.values(samples).includes(text);
}

export { script_name, codepage_label, script_sample, is_sample };
