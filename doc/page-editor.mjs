// Takes the README's screenshot of the page, doc/page-editor.png: the
// sample image tried, its built-in font beside the sample font, and a slash
// being drawn into the sample font's zero in the glyph editor.
//
// usage, after cmake --workflow --preset web and npm ci in web/:
//   node doc/page-editor.mjs doc/page-editor.png
import * as support from '../web/tests/support.mjs';

const browser = await support.launch();
const server = await support.serve_page();
const page = await support.open_page(browser, server.url, null);
await page.setViewport({ width: 1000, height: 2400 });
await page.click('#try-sample');
await page.waitForSelector('#image-status p.good');
await page.$eval('#sample-text', function (input) {
	input.value = 'Café, señor! 100°C';
	input.dispatchEvent(new Event('input'));
});
await (await page.$('aria/0x30 U+0030 0')).click();
await page.waitForSelector('#editor:not([hidden])');
const grid = await (await page.$('#editor-grid')).boundingBox();
for (const [column, row] of [[3, 3], [2, 4]])
	await page.mouse.click(grid.x + (column + 0.5) * grid.width / 8,
	                       grid.y + (row + 0.5) * grid.height / 8);
const fonts = await (await page.$('.fonts')).boundingBox();
const tools = await (await page.$('#work-tools')).boundingBox();
await page.screenshot({ path: process.argv[2], clip: { x: 0, y: fonts.y - 12, width: 1000,
                        height: tools.y + tools.height - fonts.y + 24 } });
await browser.close();
await server.close();
