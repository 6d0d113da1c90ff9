// The card as the page last read it: where the image came from
// ('folder', 'file' or 'sample') and how the page names it (a function
// that makes the name in the language set), the folder's
// handle, the image as last read, the folder's OS64.bak as last read (or
// null), what os64.checkBackup said of the two when the image is patched,
// and the built-in font the patch replaces and where it is: the image's
// own, or OS64.bak's when the image is patched and OS64.bak is its
// original.  card.js changes it through the functions here; the font
// step and the drawing only read it.
import { read_only } from './page_common.js';

const card = {
	source: null,
	where: () => '',
	folder: null,
	image: null,
	backup: null,
	original: null,
	builtin: null,
	builtin_from: () => '',
};

// Sets what the card holds: every field but the folder, all at once.
function take_card(fields) {
	const { source, where, image, backup, original, builtin, builtin_from } = fields;
	Object.assign(card, { source, where, image, backup, original, builtin, builtin_from });
}

// The folder chosen, or null for an image that comes from no folder.
function take_folder(folder) {
	card.folder = folder;
}

// After a patch in memory the page holds the patched image.
function hold_patched_image(image) {
	card.image = image;
}

const card_view = read_only(card);

export { card_view as card, take_card, take_folder, hold_patched_image };
