// How the page lists the code pages offered for the menu's slots
// (os64.offeredCodepages(), which names their scripts): a description of
// each code page, and a line of sample text in each script.  The
// descriptions are in the language set; the samples are in their scripts'
// own.
import { format, tr } from './i18n.js';

// Marks a message that is looked up where it is used.
const N_ = message => message;

const descriptions = {
	'cp437': N_('DOS, United States: the built-in font\'s'),
	'cp850': N_('DOS, Western Europe'),
	'cp860': N_('DOS, Portuguese'),
	'cp861': N_('DOS, Icelandic'),
	'cp863': N_('DOS, Canadian French'),
	'cp865': N_('DOS, Nordic'),
	'iso-8859-1': N_('ISO Latin 1, Western Europe'),
	'iso-8859-15': N_('ISO Latin 9, Western Europe with €'),
	'windows-1252': N_('Windows, Western Europe'),
	'iso-8859-14': N_('ISO Latin 8, Celtic'),
	'cp852': N_('DOS, Central Europe'),
	'iso-8859-2': N_('ISO Latin 2, Central Europe'),
	'windows-1250': N_('Windows, Central Europe'),
	'iso-8859-16': N_('ISO Latin 10, South-Eastern Europe'),
	'cp775': N_('DOS, Baltic'),
	'iso-8859-13': N_('ISO Latin 7, Baltic'),
	'windows-1257': N_('Windows, Baltic'),
	'iso-8859-4': N_('ISO Latin 4, Northern Europe'),
	'iso-8859-10': N_('ISO Latin 6, Nordic'),
	'cp857': N_('DOS, Turkish'),
	'iso-8859-9': N_('ISO Latin 5, Turkish'),
	'windows-1254': N_('Windows, Turkish'),
	'iso-8859-3': N_('ISO Latin 3, Maltese and Esperanto'),
	'windows-1258': N_('Windows, Vietnamese'),
	'cp866': N_('DOS, Russian'),
	'koi8-r': N_('KOI8-R, Russian'),
	'koi8-u': N_('KOI8-U, Ukrainian'),
	'windows-1251': N_('Windows, Cyrillic'),
	'iso-8859-5': N_('ISO, Cyrillic'),
	'cp855': N_('DOS, Cyrillic'),
	'cp737': N_('DOS, Greek'),
	'cp869': N_('DOS, Modern Greek'),
	'iso-8859-7': N_('ISO, Greek'),
	'windows-1253': N_('Windows, Greek'),
	'cp862': N_('DOS, Hebrew'),
	'iso-8859-8': N_('ISO, Hebrew'),
	'windows-1255': N_('Windows, Hebrew'),
	'cp864': N_('DOS, Arabic'),
	'iso-8859-6': N_('ISO, Arabic'),
	'windows-1256': N_('Windows, Arabic'),
	'cp874': N_('DOS and Windows, Thai'),
	'iso-8859-11': N_('ISO, Thai'),
	'jis-x0201': N_('JIS X 0201, half-width katakana'),
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


// "DOS, Russian (cp866)": a code page offered, as its list names it.
function codepage_label(page) {
	return format(tr('%s (%s)'), page.name in descriptions ? tr(descriptions[page.name])
	                                                       : page.title, page.name);
}

function script_sample(script) {
	return samples[script] || samples.latin;
}

// Whether text is one of the samples, which the page may then replace by
// another script's.
function is_sample(text) {
	return Object.values(samples).includes(text);
}

export { codepage_label, script_sample, is_sample };
