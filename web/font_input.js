// The font step's one way from a file to a font table.  read_font_file
// takes the bytes and name of the file the user chose or dropped, and the
// options of os64.importFont, and returns { font, note, warnings, missing,
// suggestion, size, scalable }: the bytes to patch with, a sentence about
// them, the warnings of the import, the slots of the characters the font
// lacks, the code page that would place more of it (or null), the pixel
// size it was read at (or null) and whether it has outlines to read at
// other sizes.  It throws an Error that says what is wrong with a file
// it cannot take, with the size and scalable it found, if any, and the
// size its glyphs fit at when they are too large.
//
// Every font goes through os64.importFont, as os64-font import would
// make a table of it.  The one exception is a raw table shorter than 2048
// bytes, which os64-fontpatch takes as it is and the page does too.
import { os64 } from './engine_api.js';
import { format, number, tr, tr_n } from './i18n.js';

async function read_font_file(bytes, name, options) {
	if (bytes.length > 0 && bytes.length < 2048 && /\.pf$/i.test(name)) {
		const glyphs = Math.floor(bytes.length / 8);
		return { font: bytes, warnings: [], missing: [], suggestion: null, size: null,
		         scalable: false,
		         note: format(tr_n('%1$s: %2$s bytes, %3$s whole glyph: the start of a font ' +
		                           'table, which replaces that many bytes of the built-in font ' +
		                           'as it is.',
		                           '%1$s: %2$s bytes, %3$s whole glyphs: the start of a font ' +
		                           'table, which replaces that many bytes of the built-in font ' +
		                           'as it is.', glyphs),
		                      name, number(bytes.length), number(glyphs)) };
	}
	const result = await os64.importFont(bytes, name, options);
	if (result.error !== null)
		throw Object.assign(new Error(result.error), { size: result.size,
		                                               scalable: result.scalable,
		                                               fitsAt: result.fitsAt });
	return { font: result.table, note: format(tr('%s.'), result.description),
	         warnings: result.warnings,
	         missing: result.missing, suggestion: result.suggestion, size: result.size,
	         scalable: result.scalable };
}

export { read_font_file };
