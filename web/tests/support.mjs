// What the browser tests share: the browser, the built page, the native
// programs to compare with, and sample images.  OS64_BROWSER names the
// browser: chromium (the default) or firefox, both headless and driven by
// puppeteer-core, or webkit, driven over WebDriver (webkit.mjs).
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

let puppeteer;
try {
	puppeteer = (await import('puppeteer-core')).default;
} catch (error) {
	throw new Error('puppeteer-core is missing: run "npm ci" in web/ (' + error.message + ')');
}

const here = path.dirname(fileURLToPath(import.meta.url));
const source = path.resolve(here, '..', '..');

// The page and the native programs, as CTest names them; the defaults are
// the web and default presets' builds.
export const page_file = process.env.OS64_PAGE ?? path.join(source, 'build-web', 'os64-fontpatch.html');
export const fontpatch = process.env.OS64_NATIVE_FONTPATCH ?? path.join(source, 'build', 'os64-fontpatch');
export const font_tool = process.env.OS64_NATIVE_FONT ?? path.join(source, 'build', 'os64-font');
export const make_demo = process.env.OS64_NATIVE_MAKE_DEMO ?? path.join(source, 'build', 'os64-make-demo');
const chromium = process.env.OS64_CHROMIUM ?? '/usr/bin/chromium';
const firefox = process.env.OS64_FIREFOX ?? '/usr/bin/firefox-esr';
export const browser_name = process.env.OS64_BROWSER ?? 'chromium';
if (!['chromium', 'firefox', 'webkit'].includes(browser_name))
	throw new Error('OS64_BROWSER is chromium, firefox or webkit, not ' + browser_name);

// The reason a test cannot run in this browser, for its skip, or false
// where it can: reasons names a browser's reason.
export function cannot_run(reasons) {
	return reasons[browser_name] ?? false;
}

export function scratch_folder() {
	return fs.mkdtempSync(path.join(os.tmpdir(), 'os64-web-'));
}

// The browser, headless, with a fresh profile, kept from every
// background connection a browser makes on its own.
export async function launch() {
	if (browser_name === 'webkit')
		return (await import('./webkit.mjs')).launch();
	const profile = scratch_folder();
	const browser = await puppeteer.launch(browser_name === 'firefox' ? {
		browser: 'firefox',
		executablePath: firefox,
		headless: true,
		userDataDir: profile,
		extraPrefsFirefox: {
			'network.captive-portal-service.enabled': false,
			'network.connectivity-service.enabled': false,
			'network.dns.disablePrefetch': true,
			'network.prefetch-next': false,
			'browser.region.network.url': '',
			'media.gmp-gmpopenh264.enabled': false,
			'messaging-system.rsexperimentloader.enabled': false,
		},
	} : {
		executablePath: chromium,
		headless: true,
		args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
		       '--disable-background-networking', '--disable-component-update',
		       '--disable-sync', '--user-data-dir=' + profile],
	});
	const close = browser.close.bind(browser);
	browser.close = async function () {
		await close();
		fs.rmSync(profile, { recursive: true, force: true });
	};
	browser.pids = () => [browser.process().pid];
	return browser;
}

// The resident memory of the browser's processes, in bytes: those its
// pids() name and all their descendants.
export function browser_memory(browser) {
	const parents = new Map();
	for (const pid of fs.readdirSync('/proc').filter(name => /^\d+$/.test(name))) {
		try {
			const stat = fs.readFileSync('/proc/' + pid + '/stat', 'latin1');
			parents.set(pid, stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
		} catch (gone) {
			// The process ended while the list was read.
		}
	}
	const family = new Set(browser.pids().map(String));
	for (let grown = true; grown;) {
		grown = false;
		for (const [pid, parent] of parents)
			if (family.has(parent) && !family.has(pid)) {
				family.add(pid);
				grown = true;
			}
	}
	let bytes = 0;
	for (const pid of family) {
		try {
			bytes += Number(fs.readFileSync('/proc/' + pid + '/statm', 'latin1').split(' ')[1]) * 4096;
		} catch (gone) {
			// Likewise.
		}
	}
	return bytes;
}

// Serves the page alone on the loopback address, since the origin-private
// file system needs an origin, which a file:// page lacks.  Every request
// is counted; only the page itself is answered.
export async function serve_page() {
	const html = fs.readFileSync(page_file);
	const requests = [];
	const server = http.createServer(function (request, response) {
		requests.push(request.url);
		if (request.url === '/os64-fontpatch.html') {
			response.writeHead(200, { 'content-type': 'text/html; charset=utf-8' });
			response.end(html);
		} else {
			response.writeHead(404);
			response.end();
		}
	});
	await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
	return {
		url: 'http://127.0.0.1:' + server.address().port + '/os64-fontpatch.html',
		requests: requests,
		close: () => new Promise(resolve => server.close(resolve)),
	};
}

// Opens the page in a new tab and waits until it is ready.  before runs
// in the page, given before_args, ahead of the page's own scripts.  Every request the tab makes is
// recorded in page.requests, apart from the wasm that the page carries in
// a data: URL.
export async function open_page(browser, url, before, ...before_args) {
	const page = await browser.newPage();
	if (browser_name !== 'webkit') {
		page.requests = [];
		page.failures = [];
		page.on('request', request => {
			if (!request.url().startsWith('data:'))
				page.requests.push(request.url());
		});
		page.on('pageerror', error => page.failures.push(error.message));
		if (before)
			await page.evaluateOnNewDocument(before, ...before_args);
	} else if (before) {
		throw new Error('WebDriver runs no script before the page\'s own');
	}
	await page.goto(url);
	await page.waitForFunction(() => document.documentElement.dataset.ready === 'true');
	return page;
}

// What axe-core finds at fault in the page as it is now: each rule
// broken, with its impact and the elements that break it.  axe-core is
// put into the page under test here; the page itself never carries it.
const axe_source = fs.readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

export async function accessibility_faults(page) {
	if (!await page.evaluate(() => typeof window.axe === 'object'))
		await page.evaluate(axe_source);
	return page.evaluate(async function () {
		const found = await window.axe.run(document, { resultTypes: ['violations'] });
		return found.violations.map(v => v.id + ' (' + v.impact + '): ' +
		                                 v.nodes.map(node => node.target.join(' ')).join(', '));
	});
}

// Runs a native program in a folder.  Its output is read as Latin-1
// unless encoding says otherwise.
export function run(program, args, folder, encoding = 'latin1') {
	const result = spawnSync(program, args, { cwd: folder, encoding: encoding });
	return { status: result.status, out: result.stdout, err: result.stderr };
}

// The demo's sample image and font, as os64-make-demo writes them.
export function demo_files() {
	const folder = scratch_folder();
	execFileSync(make_demo, ['OS64.v64', 'demo.pf'], { cwd: folder });
	const files = { image: fs.readFileSync(path.join(folder, 'OS64.v64')),
	                font: fs.readFileSync(path.join(folder, 'demo.pf')) };
	fs.rmSync(folder, { recursive: true });
	return files;
}

export const signature = Buffer.from([
	0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7E, 0x81, 0xA5, 0x81, 0xBD, 0x99, 0x81, 0x7E,
	0x7E, 0xFF, 0xDB, 0xFF, 0xC3, 0xE7, 0xFF, 0x7E, 0x6C, 0xFE, 0xFE, 0xFE, 0x7C, 0x38, 0x10, 0x00,
]);

// Reproducible bytes that never hold the signature, since they are never
// 0x7E.
export function filler(size, seed) {
	const bytes = Buffer.alloc(size);
	for (let i = 0; i < size; i++) {
		seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
		const b = (seed >>> 16) & 0xFF;
		bytes[i] = b === 0x7E ? 0 : b;
	}
	return bytes;
}

// An image of size bytes with the signature at font_offset, when given.
export function sample_image(size, font_offset) {
	const image = filler(size, size);
	if (font_offset !== undefined)
		signature.copy(image, font_offset);
	return image;
}

// Calls a window.os64 function in the page and waits for its result.
// Buffers, in the arguments and in the result, pass both ways as base64;
// they come back as Buffers.
export async function call_engine(page, name, ...args) {
	const encode = function (value) {
		if (value instanceof Uint8Array)
			return { base64: Buffer.from(value).toString('base64') };
		if (value !== null && typeof value === 'object' && !Array.isArray(value))
			return Object.fromEntries(Object.entries(value).map(([k, v]) => [k, encode(v)]));
		return value;
	};
	const result = await page.evaluate(async function (name, args) {
		const decode = function (value) {
			if (value !== null && typeof value === 'object' && 'base64' in value)
				return Uint8Array.from(atob(value.base64), c => c.charCodeAt(0));
			if (value !== null && typeof value === 'object' && !Array.isArray(value))
				return Object.fromEntries(Object.entries(value).map(([k, v]) => [k, decode(v)]));
			return value;
		};
		const encode = function (value) {
			if (value instanceof Uint8Array) {
				let text = '';
				for (let i = 0; i < value.length; i += 0x8000)
					text += String.fromCharCode.apply(null, value.subarray(i, i + 0x8000));
				return { base64: btoa(text) };
			}
			if (value !== null && typeof value === 'object' && !Array.isArray(value))
				return Object.fromEntries(Object.entries(value).map(([k, v]) => [k, encode(v)]));
			return value;
		};
		return encode(await window.os64[name](...args.map(decode)));
	}, name, args.map(encode));
	const decode = function (value) {
		if (value !== null && typeof value === 'object' && 'base64' in value)
			return Buffer.from(value.base64, 'base64');
		if (value !== null && typeof value === 'object' && !Array.isArray(value))
			return Object.fromEntries(Object.entries(value).map(([k, v]) => [k, decode(v)]));
		return value;
	};
	return decode(result);
}
