/// <reference types="node" />
// Where the page sends its calls, and what discovery says when they fail: a page the service
// serves on another port calls that service; a page from another loopback server keeps the
// fixed address. A service that answers with its own failure text is not told to be downloaded.
import { readFile } from 'node:fs/promises';
import { createServer, type Server } from 'node:http';
import type { AddressInfo } from 'node:net';
import { extname, join, normalize } from 'node:path';
import type { Browser, Page } from 'playwright-core';
import { afterAll, beforeAll, expect, test } from 'vitest';
import { launchChromium } from './support/chromium';
import { repoRoot } from './support/paths';
import { freePort, startService, type RunningService } from './support/service';

const NO_SERVICE_HINT =
  '未连接本地打印服务。下载“Sorvendale.exe”双击运行即可原生直打；也可以先用浏览器打印。';
const dist = process.env.SORVENDALE_E2E_DIST ?? join(repoRoot, 'dist');

let service: RunningService;
let browser: Browser;

beforeAll(async () => {
  // A spooler address where nothing listens: list_printers answers 500 with CUPS's text.
  const closed = await freePort();
  service = await startService({ env: { CUPS_SERVER: `127.0.0.1:${closed}` } });
  browser = await launchChromium();
});

afterAll(async () => {
  await browser?.close();
  await service?.stop();
});

function apiRequests(page: Page): string[] {
  const urls: string[] = [];
  page.on('request', (r) => {
    if (r.url().includes('/api/')) urls.push(`${r.method()} ${r.url()}`);
  });
  return urls;
}

async function discovered(page: Page) {
  // Without a print system the service first retries it for a moment (about 1.5 s a call).
  await expect
    .poll(() => page.locator('#printer-value').innerText(), { timeout: 10_000 })
    .toBe('浏览器打印模式');
  return page.evaluate(() => {
    const hint = document.getElementById('printer-hint')!;
    return {
      status: document.getElementById('status-title')!.textContent,
      dot: document.getElementById('status-dot')!.className,
      hint: hint.textContent,
      error: hint.classList.contains('is-error'),
      visible: !hint.hidden,
    };
  });
}

test('served on another port, the page calls its own service and shows its failure text', async () => {
  expect(service.port).not.toBe(17890);
  const page = await browser.newPage();
  const urls = apiRequests(page);
  await page.goto(service.url);
  const state = await discovered(page);
  expect(urls).toEqual([`GET ${service.url}api/health`, `POST ${service.url}api/list_printers`]);
  expect(state).toMatchObject({ status: '浏览器打印就绪', dot: 'status-dot is-online' });
  expect(state).toMatchObject({ error: true, visible: true });
  expect(state.hint).toMatch(/^无法连接系统打印服务（CUPS）：.+/);
  const direct = await fetch(`${service.url}api/list_printers`, { method: 'POST', body: '{}' });
  expect(direct.status).toBe(500);
  expect(state.hint).toBe(await direct.text());
  expect(await page.evaluate(() => window.__sv!.call('health'))).toMatchObject({ ok: true });
  await page.close();
});

test('from another loopback server the page keeps the fixed address and the download advice', async () => {
  const types: Record<string, string> = {
    '.html': 'text/html',
    '.js': 'text/javascript',
    '.css': 'text/css',
    '.jpg': 'image/jpeg',
  };
  // A plain static host: files only, 404 for everything else (so also for /api/health).
  const server: Server = createServer((req, res) => {
    const path = normalize(new URL(req.url ?? '/', 'http://x').pathname).replace(/^\/+/, '');
    const file = path === '' ? 'index.html' : path;
    readFile(join(dist, file)).then(
      (body) => {
        res.writeHead(200, { 'Content-Type': types[extname(file)] ?? 'text/plain' });
        res.end(body);
      },
      () => {
        res.writeHead(404);
        res.end('not found');
      },
    );
  });
  await new Promise<void>((done) => server.listen(0, '127.0.0.1', done));
  const { port } = server.address() as AddressInfo;
  const page = await browser.newPage();
  try {
    // Whatever listens on the fixed address on this machine, the page must not reach it here.
    await page.route('http://127.0.0.1:17890/**', (route) => route.abort('connectionrefused'));
    const urls = apiRequests(page);
    await page.goto(`http://127.0.0.1:${port}/`);
    const state = await discovered(page);
    expect(urls).toEqual([
      `GET http://127.0.0.1:${port}/api/health`,
      'POST http://127.0.0.1:17890/api/list_printers',
    ]);
    expect(state).toMatchObject({ status: '浏览器打印就绪', hint: NO_SERVICE_HINT, error: false });
    const failed = await page.evaluate(() =>
      window.__sv!.call('health').then(
        () => 'answered',
        (e: Error) => e.message,
      ),
    );
    expect(failed).toBe(
      '无法连接本地打印服务（http://127.0.0.1:17890）。请确认 Sorvendale 本地打印服务还在运行。',
    );
  } finally {
    await page.close();
    server.closeAllConnections();
    await new Promise((done) => server.close(done));
  }
});
