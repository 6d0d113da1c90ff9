// Base 85 for the build scripts that put bytes into the page: 4 bytes in
// 5 characters, where base64 takes 5 1/3.  os64.js reads it back with the
// same digits.
//
// The 85 digits, each standing for its place here: the printable ASCII
// characters but for the quotes and the backslash, which a string in a
// script cannot hold as they are, < > and &, which would read as markup,
// and ` { }, left out to make 85.
const digits = '!#$%()*+,-./0123456789:;=?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_abcdefghijklmnopqrstuvwxyz|~';

// Every 4 bytes as 5 digits, the most significant first.  The last 1 to 3
// bytes, padded with zeros to 4, become their first 2 to 4 digits.
function base85(bytes) {
	let text = '';
	for (let at = 0; at < bytes.length; at += 4) {
		const count = Math.min(4, bytes.length - at);
		let value = 0;
		for (let i = 0; i < 4; i++)
			value = value * 256 + (i < count ? bytes[at + i] : 0);
		let group = '';
		for (let i = 0; i < 5; i++) {
			group = digits[value % 85] + group;
			value = Math.floor(value / 85);
		}
		text += group.slice(0, count + 1);
	}
	return text;
}

export { base85 };
