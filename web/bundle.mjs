// Bundles the page's ES modules with esbuild, at the version
// package-lock.json pins, into the two scripts page.html includes:
// os64.bundle.js, the engine's API (os64.js) alone, which goes near the
// top of the page ahead of the engine's WebAssembly, and page.bundle.js,
// page.js with every module it imports, which goes at its end.  Both are
// plain scripts in strict mode, not minified: names and layout stay as
// written, so that anyone who saves the page can read the code that
// handles their files (esbuild drops the comments; the sources beside
// this file keep them).  The output depends on nothing but the sources:
// no time, and no path but the modules' names.
//
// An esbuild other than the pinned one, or none, is first replaced by
// "npm ci" in this folder.
//
//   node bundle.mjs OUTPUT_FOLDER
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const [output] = process.argv.slice(2);

function read_json(file) {
	try {
		return JSON.parse(fs.readFileSync(path.join(here, file), 'utf8'));
	} catch (error) {
		return null;
	}
}

const pinned = read_json('package-lock.json').packages['node_modules/esbuild'].version;
const installed = read_json('node_modules/esbuild/package.json');
if (installed === null || installed.version !== pinned) {
	console.log('bundle.mjs: installing esbuild ' + pinned + ' with "npm ci" in ' + here);
	const npm = spawnSync('npm', ['ci', '--no-audit', '--no-fund'], { cwd: here, stdio: 'inherit' });
	if (npm.status !== 0)
		throw new Error('"npm ci" in ' + here + ' failed' +
		                (npm.error ? ': ' + npm.error.message : ''));
}
const esbuild = await import('esbuild');

const banner = '// The page\'s code: ES modules of the folder web/ in os64-fontpatch\'s\n' +
               '// source, bundled by esbuild. A comment names each module where it starts.\n' +
               '"use strict";';
for (const [entry, bundle] of [['os64.js', 'os64.bundle.js'], ['page.js', 'page.bundle.js']]) {
	const result = await esbuild.build({
		absWorkingDir: here,
		entryPoints: [entry],
		bundle: true,
		format: 'iife',
		minify: false,
		charset: 'utf8',
		banner: { js: banner },
		write: false,
		logLevel: 'silent',
	});
	// A warning is as good as an error: the page has none.
	const messages = await esbuild.formatMessages(result.warnings, { kind: 'warning' });
	if (messages.length > 0)
		throw new Error(entry + ': ' + messages.join('\n'));
	fs.writeFileSync(path.join(output, bundle), result.outputFiles[0].contents);
}
