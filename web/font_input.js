// The font step's one way from a file to a font table.  read_font_file
// takes the File the user chose or dropped and returns { font, note }: the
// bytes to patch with and a sentence about them.  It takes what the
// patcher takes, a raw table of at most 2048 bytes copied as it is, and
// throws an Error that says what is wrong with anything else.  Reading
// other font formats belongs here.

// Files that are fonts or pictures, but not yet a table, start like this.
const font_file_kinds = [
	{ magic: [0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A], what: 'a PNG picture' },
	{ magic: [0x72, 0xB5, 0x4A, 0x86], what: 'a PSF2 console font' },
	{ magic: [0x1F, 0x8B, 0x08], what: 'a gzip-compressed file' },
];

function starts_with(bytes, magic) {
	return bytes.length >= magic.length && magic.every((b, i) => bytes[i] === b);
}

async function read_font_file(file) {
	const bytes = new Uint8Array(await file.arrayBuffer());
	const convert = 'This page takes raw .pf font tables; os64-font import makes one from ' +
	                'a PSF console font or a PNG glyph sheet.';
	for (const kind of font_file_kinds)
		if (starts_with(bytes, kind.magic))
			throw new Error(file.name + ' is ' + kind.what + ', not a font table. ' + convert);
	if (bytes.length > 2048)
		throw new Error(file.name + ': ' + bytes.length + ' bytes, more than the 2048 of a ' +
		                'font table. ' + convert);
	if (bytes.length === 0)
		throw new Error(file.name + ' is empty: patching with it would change nothing ' +
		                'but the checksum.');
	const glyphs = Math.floor(bytes.length / 8);
	let note = file.name + ': ' + bytes.length + ' bytes, a complete font table.';
	if (bytes.length < 2048)
		note = file.name + ': ' + bytes.length + ' bytes, ' + glyphs + ' whole glyph' +
		       (glyphs === 1 ? '' : 's') + '; the rest of the built-in font stays as it is.';
	return { font: bytes, note: note };
}
