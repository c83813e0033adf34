// Poses a .glb or .gltf in three.js inside headless Chromium and writes what three
// computed: skinned positions of sampled vertices at the given times, as JSON,
// and a picture. Fails when the page fails or the picture does not show the
// model. The page and three.js are served from 127.0.0.1 only.
// Usage: node three_check.mjs --glb F.glb|F.gltf --times T1,T2,T3 --json OUT.json --png OUT.png [--samples N] [--shot T]
import { createServer } from 'node:http';
import { mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const options = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
for (const required of ['glb', 'times', 'json', 'png']) {
  if (!options[required]) {
    console.error(`three_check: --${required} is needed`);
    process.exit(2);
  }
}

const types = { '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.glb': 'model/gltf-binary', '.gltf': 'model/gltf+json' };
// The model's folder is served under /model/, so a .gltf finds its .bin beside it.
const modelFolder = path.dirname(path.resolve(options.glb));
const modelUrl = `/model/${encodeURIComponent(path.basename(options.glb))}`;
const server = createServer(async (request, response) => {
  const url = new URL(request.url, 'http://127.0.0.1');
  const model = url.pathname.startsWith('/model/');
  const root = model ? modelFolder : here;
  const file = path.join(root, path.normalize(decodeURIComponent(model ? url.pathname.slice('/model'.length) : url.pathname)));
  if (!file.startsWith(root + path.sep)) {
    response.writeHead(403).end();
    return;
  }
  try {
    const body = await readFile(file);
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] ?? 'application/octet-stream' }).end(body);
  } catch {
    response.writeHead(404).end();
  }
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const port = server.address().port;

const profile = await mkdtemp(path.join(tmpdir(), 'veskar-chromium-'));
let browser;
let failed = false;
try {
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: [
      '--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader', '--ignore-gpu-blocklist',
      '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run',
      '--disable-default-apps', '--disable-domain-reliability', '--no-default-browser-check',
    ],
  });
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  await page.setViewport({ width: 640, height: 480 });
  const query = new URLSearchParams({ glb: modelUrl, times: options.times, samples: options.samples ?? '300', shot: options.shot ?? options.times.split(',')[1] ?? '0' });
  await page.goto(`http://127.0.0.1:${port}/page.html?${query}`);
  await page.waitForFunction('window.veskarResult !== undefined', { timeout: 90000 });
  const result = await page.evaluate('window.veskarResult');
  if (result.error) throw new Error(`the page failed: ${result.error}\n${errors.join('\n')}`);
  const canvas = await page.$('canvas');
  await canvas.screenshot({ path: options.png });
  await writeFile(options.json, JSON.stringify(result));
  const p = result.picture;
  const vertices = result.meshes.reduce((n, m) => n + m.sample.length, 0);
  console.log(`three.js: ${result.meshes.length} skinned meshes, ${vertices} vertices sampled at ${result.times.length} times; ` +
              `picture ${p.width}x${p.height}, model on ${(100 * p.covered).toFixed(1)}% of it in ${p.colours} colours (${p.renderer})`);
  if (!(p.covered > 0.03 && p.colours >= 8)) {
    console.log('three_check: the picture does not show the model');
    failed = true;
  }
} catch (e) {
  console.log(`three_check: ${e.stack ?? e}`);
  failed = true;
} finally {
  if (browser) await browser.close();
  server.close();
  await rm(profile, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
