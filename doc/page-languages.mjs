// Takes the README's screenshot of the page in another language,
// doc/page-languages.png: the page in Russian, for a browser whose first
// language is Russian, with the sample image tried, a Cyrillic console font
// imported, and the code page its report suggests taken.
//
// usage, after cmake --workflow --preset web and npm ci in web/:
//   node doc/page-languages.mjs doc/page-languages.png
import * as support from '../web/tests/support.mjs';

const browser = await support.launch();
const server = await support.serve_page();
const page = await support.open_page(browser, server.url, function () {
	Object.defineProperty(navigator, 'languages', { get: () => ['ru-RU', 'ru'] });
});
await page.setViewport({ width: 1000, height: 2400 });
await page.click('#try-sample');
await page.waitForSelector('#image-status p.good');
await (await page.$('#open-font')).uploadFile('/usr/share/consolefonts/Cyr_a8x8.psf.gz');
await page.waitForSelector('#suggestion-box:not([hidden])');
await page.click('#use-suggestion');
await page.waitForSelector('#suggestion-box[hidden]');
const step = await (await page.$('section[aria-labelledby="font-heading"]')).boundingBox();
const fonts = await (await page.$('.fonts')).boundingBox();
await page.screenshot({ path: process.argv[2], clip: { x: 0, y: step.y - 12, width: 1000,
                        height: fonts.y + fonts.height - step.y + 24 } });
await browser.close();
await server.close();
