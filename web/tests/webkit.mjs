// WebKit for the browser tests: WebKitGTK's MiniBrowser under Xvfb, driven
// by WebKitWebDriver over plain WebDriver HTTP from Node.  It offers the
// part of puppeteer's Browser and Page that the suites use in WebKit, so
// that the same test runs in every engine.  A driver holds one session,
// so every page has a driver of its own; the browser's downloads land in
// the home folder the driver is started with.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

const driver_program = process.env.OS64_WEBKIT_DRIVER ?? 'WebKitWebDriver';
const mini_browser = process.env.OS64_WEBKIT_BROWSER ??
        '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

const delay = ms => new Promise(resolve => setTimeout(resolve, ms));

// Xvfb on a display it chooses itself, which it writes to the pipe.
async function start_xvfb() {
	const xvfb = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
	                   { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] });
	let said = '';
	xvfb.stderr.on('data', data => { said += data; });
	const display = await new Promise(function (resolve, reject) {
		let text = '';
		xvfb.stdio[3].on('data', function (data) {
			text += data;
			if (text.includes('\n'))
				resolve(':' + text.trim());
		});
		xvfb.on('exit', () => reject(new Error('Xvfb did not start: ' + said.trim())));
	});
	return { process: xvfb, display: display };
}

async function free_port() {
	const server = net.createServer();
	await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
	const port = server.address().port;
	await new Promise(resolve => server.close(resolve));
	return port;
}

// The keys of WebDriver's key actions, by puppeteer's names.
const keys = {
	Tab: '\uE004', Enter: '\uE007', Shift: '\uE008', Control: '\uE009', Escape: '\uE00C',
	PageUp: '\uE00E', PageDown: '\uE00F', End: '\uE010', Home: '\uE011',
	ArrowLeft: '\uE012', ArrowUp: '\uE013', ArrowRight: '\uE014', ArrowDown: '\uE015',
};

const element_key = 'element-6066-11e4-a52e-4f735466cecf';

// A page: a driver, its session, and its one window.
async function new_page(display, home) {
	const port = await free_port();
	const driver = spawn(driver_program, ['--port=' + port],
	                     { env: { ...process.env, DISPLAY: display, HOME: home }, stdio: 'ignore' });
	const base = 'http://127.0.0.1:' + port;
	let session = null;
	async function send(method, where, body) {
		const response = await fetch(base + (session ? '/session/' + session : '') + where,
		                             { method: method, headers: { 'content-type': 'application/json' },
		                               body: body === undefined ? undefined : JSON.stringify(body) });
		const reply = await response.json();
		if (reply.value !== null && typeof reply.value === 'object' && 'error' in reply.value)
			throw new Error('WebDriver: ' + reply.value.error + ': ' + reply.value.message);
		return reply.value;
	}
	for (let tries = 0; ; tries++) {
		try {
			await send('GET', '/status');
			break;
		} catch (error) {
			if (tries === 100)
				throw new Error(driver_program + ' did not start: ' + error.message);
			await delay(50);
		}
	}
	const created = await send('POST', '/session', { capabilities: { alwaysMatch: {
		'webkitgtk:browserOptions': { binary: mini_browser, args: ['--automation'] } } } });
	session = created.sessionId;
	await send('POST', '/timeouts', { script: 300000 });

	// Runs fn(...args) in the page and returns its result, passing any
	// error the page met since the last call on to page.failures.  A
	// script given as text is run as it is.
	async function evaluate(fn, ...args) {
		if (typeof fn === 'string')
			return send('POST', '/execute/sync', { script: fn, args: [] });
		return run(String(fn), args);
	}

	async function run(fn, args) {
		const reply = await send('POST', '/execute/async', { args: args, script:
			'const done = arguments[arguments.length - 1];\n' +
			'const failures = (window.os64_failures ??= []);\n' +
			'if (!window.os64_heard) { window.os64_heard = true;\n' +
			'  addEventListener("error", e => failures.push(e.message));\n' +
			'  addEventListener("unhandledrejection", e => failures.push(String(e.reason))); }\n' +
			'Promise.resolve().then(() => (' + fn + ')(...Array.from(arguments).slice(0, -1)))\n' +
			'  .then(value => done({ value: value === undefined ? null : value, failures: failures.splice(0) }),\n' +
			'        error => done({ error: String(error && error.stack || error), failures: failures.splice(0) }));' });
		page.failures.push(...reply.failures);
		if ('error' in reply)
			throw new Error('in the page: ' + reply.error);
		return reply.value;
	}

	async function element(selector) {
		const found = await send('POST', '/elements', { using: 'css selector', value: selector });
		return found.length === 0 ? null : handle(found[0][element_key]);
	}

	function handle(id) {
		return {
			click: () => send('POST', '/element/' + id + '/click', {}),
			uploadFile: file => send('POST', '/element/' + id + '/value', { text: file }),
		};
	}

	async function wait_until(fn, args, what, timeout = 30000) {
		const until = Date.now() + timeout;
		for (;;) {
			const value = await evaluate(fn, ...args);
			if (value)
				return value;
			if (Date.now() > until)
				throw new Error('waited ' + timeout + ' ms for ' + what);
			await delay(50);
		}
	}

	function key_actions(...steps) {
		return send('POST', '/actions', { actions: [{ type: 'key', id: 'keyboard',
			actions: steps.map(([type, key]) => ({ type: type, value: keys[key] ?? key })) }] });
	}

	// The mouse, at a point of the viewport given in CSS pixels.  Its
	// button stays down from one call to the next, as a drag needs.
	function pointer_actions(step) {
		return send('POST', '/actions', { actions: [{ type: 'pointer', id: 'mouse',
			parameters: { pointerType: 'mouse' }, actions: [step] }] });
	}

	const page = {
		failures: [],
		// Classic WebDriver hears of no request the page makes.
		requests: null,
		evaluate: evaluate,
		goto: url => send('POST', '/url', { url: url }),
		$: element,
		$eval: (selector, fn, ...args) => run('(selector, ...args) => (' + fn +
		                                      ')(document.querySelector(selector), ...args)',
		                                      [selector, ...args]),
		click: async function (selector) {
			const found = await element(selector);
			if (found === null)
				throw new Error('no element matches ' + selector);
			return found.click();
		},
		waitForSelector: async function (selector, options = {}) {
			await wait_until(s => document.querySelector(s) !== null, [selector],
			                 selector, options.timeout);
			return element(selector);
		},
		waitForFunction: (fn, options = {}, ...args) => wait_until(fn, args, String(fn), options.timeout),
		// The window's size, which is the page's but for the window's frame.
		setViewport: ({ width, height }) => send('POST', '/window/rect', { width: width, height: height }),
		keyboard: {
			press: key => key_actions(['keyDown', key], ['keyUp', key]),
			down: key => key_actions(['keyDown', key]),
			up: key => key_actions(['keyUp', key]),
		},
		mouse: {
			move: (x, y) => pointer_actions({ type: 'pointerMove', origin: 'viewport',
			                                  x: Math.round(x), y: Math.round(y) }),
			down: () => pointer_actions({ type: 'pointerDown', button: 0 }),
			up: () => pointer_actions({ type: 'pointerUp', button: 0 }),
		},
		pid: driver.pid,
		close: async function () {
			try {
				await send('DELETE', '');
			} finally {
				driver.kill();
				await new Promise(resolve => driver.exitCode !== null ? resolve() : driver.on('exit', resolve));
			}
		},
	};
	return page;
}

// The browser: Xvfb, and a home folder for its pages' drivers.  A context
// is another home folder, which takes its downloads when asked to.
export async function launch() {
	const xvfb = await start_xvfb();
	const pages = [];
	function browser_in(home) {
		return {
			newPage: async function () {
				const page = await new_page(xvfb.display, home);
				pages.push(page);
				const close = page.close;
				page.close = () => (pages.splice(pages.indexOf(page), 1), close());
				return page;
			},
		};
	}
	const home = fs.mkdtempSync(path.join(os.tmpdir(), 'os64-webkit-'));
	const browser = browser_in(home);
	browser.createBrowserContext = async function (options = {}) {
		const where = options.downloadBehavior?.downloadPath ??
		              fs.mkdtempSync(path.join(os.tmpdir(), 'os64-webkit-'));
		return { ...browser_in(where), close: async () => {} };
	};
	// The drivers, whose descendants are the browsers' processes.
	browser.pids = () => pages.map(page => page.pid);
	browser.close = async function () {
		for (const page of [...pages])
			await page.close();
		xvfb.process.kill();
		fs.rmSync(home, { recursive: true, force: true });
	};
	return browser;
}
