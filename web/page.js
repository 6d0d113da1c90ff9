// The page's start: once the engine is ready, every control is enabled
// and wired up, the drawing follows every change of the work, and the
// work an earlier visit kept is offered.  It is the one module that
// imports the page's parts; the build bundles it, with everything it
// imports, into the script at the end of the page.
import { watch_card } from './card.js';
import { draw_editor, redraw_fonts, redraw_glyph } from './draw.js';
import { watch_editor } from './editor.js';
import { os64 } from './engine_api.js';
import { offer_kept_work, watch_font_step } from './font_step.js';
import { work_listen } from './font_work.js';
import { format, start_language, tr } from './i18n.js';
import { describe_failure, learn_codepage } from './page_common.js';
import { $, say } from './page_ui.js';

const controls = ['choose-folder', 'open-image', 'try-sample', 'open-font', 'start-builtin',
                  'size', 'slots', 'codepage', 'fill', 'patch', 'language'];
for (const id of controls)
	$(id).disabled = true;

function start() {
	const cp437 = os64.codepage('cp437');
	learn_codepage(cp437.characters, cp437.title);
	watch_card();
	watch_font_step();
	watch_editor();
	// A file dropped beside the drop zone would otherwise replace the
	// page, and everything chosen so far with it.
	document.addEventListener('dragover', event => event.preventDefault());
	document.addEventListener('drop', event => event.preventDefault());
	work_listen(function (what) {
		if (what === 'all')
			redraw_fonts();
		else if (typeof what === 'number')
			redraw_glyph(what);
		else
			draw_editor();
	});
	for (const id of controls)
		$(id).disabled = false;
	say('engine-status', []);
	redraw_fonts();
}

os64.ready.then(async function () {
	await start_language();
	start();
	document.documentElement.dataset.ready = 'true';
	// The moment the page became ready, from the start of its navigation,
	// for whoever times the page's start, in any browser.
	performance.mark('ready');
	// After the page is ready, so that it costs the start nothing.
	setTimeout(offer_kept_work);
}, function (error) {
	say('engine-status', () => format(tr('The page could not start its engine: %s'),
	                                  describe_failure(error)), 'error');
});
