// The page's start: once the engine is ready, every control is enabled
// and wired up, the drawing follows every change of the work, and the
// work an earlier visit kept is offered.  The parts are the scripts
// included before this one: page_common.js, draw.js, font_work.js,
// font_input.js, font_step.js, editor.js and card.js.
'use strict';

(function () {
	const controls = ['choose-folder', 'open-image', 'try-sample', 'open-font', 'start-builtin',
	                  'size', 'codepage', 'fill', 'patch'];
	for (const id of controls)
		$(id).disabled = true;

	function start() {
		learn_cp437();
		watch_card();
		watch_font_step();
		watch_editor();
		// A file dropped beside the drop zone would otherwise replace the
		// page, and everything chosen so far with it.
		document.addEventListener('dragover', event => event.preventDefault());
		document.addEventListener('drop', event => event.preventDefault());
		work_listeners.push(function (what) {
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

	os64.ready.then(function () {
		start();
		document.documentElement.dataset.ready = 'true';
		// After the page is ready, so that it costs the start nothing.
		setTimeout(offer_kept_work);
	}, function (error) {
		say('engine-status', 'The page could not start its engine: ' +
		    describe_failure(error), 'error');
	});
})();
