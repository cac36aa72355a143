/// <reference types="node" />
// Pages from foreign origins try to print through the service: fetch POSTs (a simple one and a
// preflighted one), a form POST and <img> GETs of the API. None reaches the print job: every
// request that carries the foreign origin is answered 403, a refused preflight keeps its POST
// from being sent, and GETs cannot print. The designer's static files stay readable, as
// intended. DNS rebinding: a page on rebind.test at the service's own port, resolved to
// 127.0.0.1, is same-origin for the browser but refused by the origin gate.
//
// The service prints to a private cupsd whose raw queue sends to a recording TCP printer, and
// every request names that queue for a real job: had the gate let one through, cupsd would list
// a job and the printer would receive it. The last test is the control: the same call from the
// service's own origin, through the same relay, is listed by cupsd and reaches the printer, so
// a broken chain cannot let the others pass for nothing.
import { createServer, type Server } from 'node:http';
import { connect, createServer as createTcpServer, type AddressInfo } from 'node:net';
import { chromium, type Browser } from 'playwright-core';
import { afterAll, beforeAll, expect, test } from 'vitest';
import { chromiumArgs, chromiumPath } from './support/chromium';
import {
  startCups,
  startRecordingPrinter,
  type PrivateCups,
  type RecordingPrinter,
} from './support/cups';
import { startService, type RunningService } from './support/service';

const QUEUE = 'Zeko_Hostile';

// A real job, not a dry run: were it ever carried out, the queue would print it.
const PRINT_BODY = JSON.stringify({
  request: {
    printer: QUEUE,
    width_mm: 40,
    height_mm: 30,
    width_dots: 8,
    height_dots: 2,
    gap_mm: 2,
    density: 8,
    speed: 4,
    copies: 1,
    tear: false,
    data_b64: 'QUI=',
    dry_run: false,
  },
});

// What reached the service through the recording relay: request line, Origin, status line.
interface Exchange {
  request: string;
  origin: string | undefined;
  status: string;
}

let printer: RecordingPrinter;
let cups: PrivateCups;
let service: RunningService;
let browser: Browser;
const evilServers: Server[] = [];

function listen(host: string): Promise<Server> {
  const server = createServer((_, res) => {
    res.writeHead(200, { 'content-type': 'text/html' });
    res.end('<!doctype html><title>evil</title><iframe name="sink"></iframe>');
  });
  evilServers.push(server);
  return new Promise((resolve) => server.listen(0, host, () => resolve(server)));
}

// A TCP relay in front of the service that records each exchange, so the test sees what the
// service received and answered, whatever the browser shows the page or the test.
async function startRelay(): Promise<{ port: number; exchanges: Exchange[] }> {
  const exchanges: Exchange[] = [];
  const relay = createTcpServer((client) => {
    const upstream = connect(service.port, '127.0.0.1');
    let sent = '';
    let received = '';
    client.on('data', (d: Buffer) => (sent += d.toString('latin1')));
    client.pipe(upstream);
    // Not piped back: a pipe pauses its source once the browser has closed its side, and the
    // reply to a request the browser gave up on would then never end and never be recorded.
    upstream.on('data', (d: Buffer) => {
      received += d.toString('latin1');
      if (client.writable) client.write(d);
    });
    upstream.on('end', () => client.end());
    const record = () => {
      if (!sent) return;
      exchanges.push({
        request: sent.split('\r\n')[0]!,
        origin: /^origin:\s*(.*)$/im.exec(sent.split('\r\n\r\n')[0]!)?.[1],
        status: received.split('\r\n')[0]!,
      });
      sent = '';
    };
    upstream.on('close', () => {
      record();
      client.destroy();
    });
    // Still hear the service out when the browser resets its side.
    client.on('error', () => upstream.end());
    upstream.on('error', () => client.destroy());
  });
  evilServers.push(relay as unknown as Server);
  await new Promise<void>((resolve) => relay.listen(0, '127.0.0.1', resolve));
  return { port: (relay.address() as AddressInfo).port, exchanges };
}

// Every job cupsd has taken for the queue, finished ones included: the service submits before
// it answers, so once a request has its reply, any job it made is listed here.
async function queuedJobs(): Promise<string[]> {
  const listing = await cups.tool('lpstat', ['-W', 'all', '-o', QUEUE]);
  return listing.split('\n').filter((line) => line.trim() !== '');
}

// An exchange is recorded when its connection closes, which a loaded machine may delay.
async function apiExchanges(relay: { exchanges: Exchange[] }, count: number): Promise<string[]> {
  const listed = () =>
    relay.exchanges
      .filter((e) => e.request.includes(' /api/'))
      .map((e) => `${e.request.split(' ').slice(0, 2).join(' ')} ${e.origin ?? '-'} ${e.status}`)
      .sort();
  for (let waited = 0; listed().length < count && waited < 10_000; waited += 100) {
    await new Promise((r) => setTimeout(r, 100));
  }
  await new Promise((r) => setTimeout(r, 300)); // anything unexpected still arriving
  return listed();
}

beforeAll(async () => {
  printer = await startRecordingPrinter();
  cups = await startCups();
  await cups.addRawQueue(QUEUE, printer.port);
  service = await startService({ env: cups.env });
  browser = await chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    args: [
      ...chromiumArgs,
      '--host-resolver-rules=MAP localhost.evil.test 127.0.0.1, MAP rebind.test 127.0.0.1',
    ],
  });
}, 60_000);

afterAll(async () => {
  await browser?.close();
  await service?.stop();
  await cups?.stop();
  await printer?.close();
  for (const server of evilServers) server.close();
});

test.each([
  ['another loopback address', '127.0.0.2', '127.0.0.2'],
  ['a name that merely starts with localhost', '127.0.0.1', 'localhost.evil.test'],
])('a page on %s cannot print', async (_, bindHost, pageHost) => {
  const evil = await listen(bindHost);
  const relay = await startRelay();
  const page = await browser.newPage();
  await page.goto(`http://${pageHost}:${(evil.address() as AddressInfo).port}/`);
  const origin = new URL(page.url()).origin;
  const api = `http://127.0.0.1:${relay.port}/api/`;

  const outcome = await page.evaluate(
    async ({ api, body }) => {
      const results: Record<string, string> = {};
      // Simple: text/plain needs no preflight; the reply is opaque to the page.
      await fetch(`${api}print_sheet`, { method: 'POST', mode: 'no-cors', body }).then(
        (r) => (results.simple = r.type),
        () => (results.simple = 'failed'),
      );
      // Preflighted: the JSON content type asks first; the refusal stops the POST.
      await fetch(`${api}print_sheet`, {
        method: 'POST',
        headers: { 'content-type': 'application/json' },
        body,
      }).then(
        (r) => (results.preflighted = String(r.status)),
        () => (results.preflighted = 'blocked'),
      );
      // A form POST into a frame, and images pointing at the API.
      const form = document.createElement('form');
      form.method = 'POST';
      form.action = `${api}print_sheet`;
      form.enctype = 'text/plain';
      form.target = 'sink';
      const field = document.createElement('input');
      field.name = body;
      form.append(field);
      document.body.append(form);
      const posted = new Promise((done) =>
        document.querySelector('iframe')!.addEventListener('load', done),
      );
      form.submit();
      await posted;
      for (const command of ['print_sheet', 'health']) {
        await new Promise((done) => {
          const img = new Image();
          img.onload = img.onerror = done;
          img.src = `${api}${command}`;
        });
      }
      // The designer's own files are meant for any page.
      const index = await fetch(api.replace('/api/', '/'));
      results.static = `${index.status} ${(await index.text()).slice(0, 15).toLowerCase()}`;
      return results;
    },
    { api, body: PRINT_BODY },
  );

  expect(outcome.simple).toBe('opaque');
  expect(outcome.preflighted).toBe('blocked');
  expect(outcome.static).toBe('200 <!doctype html>');
  await page.close();
  const apiCalls = await apiExchanges(relay, 5);
  // The simple POST, the preflight and the form POST carry the page's origin and meet 403;
  // the preflighted POST is never sent; images send no origin and cannot print.
  expect(apiCalls).toEqual(
    [
      `GET /api/health - HTTP/1.1 200 OK`,
      `GET /api/print_sheet - HTTP/1.1 404 Not Found`,
      `OPTIONS /api/print_sheet ${origin} HTTP/1.1 403 Forbidden`,
      `POST /api/print_sheet ${origin} HTTP/1.1 403 Forbidden`,
      `POST /api/print_sheet ${origin} HTTP/1.1 403 Forbidden`,
    ].sort(),
  );
  expect(await queuedJobs()).toEqual([]);
  expect(printer.jobs()).toEqual([]);
});

test('a rebound name at the service port is refused by the origin gate', async () => {
  const page = await browser.newPage();
  // For the browser this is one origin; only the Origin header tells the service otherwise.
  await page.goto(`http://rebind.test:${service.port}/?demo`);
  const outcome = await page.evaluate(async (body) => {
    const r = await fetch('/api/print_sheet', {
      method: 'POST',
      headers: { 'content-type': 'application/json' },
      body,
    });
    return `${r.status} ${await r.text()}`;
  }, PRINT_BODY);
  expect(outcome).toBe('403 origin not allowed');
  await page.close();
  expect(await queuedJobs()).toEqual([]);
  expect(printer.jobs()).toEqual([]);
});

// Runs last: the tests above expect cupsd never to have taken a job.
test("the same call from the service's own origin prints, through the same relay", async () => {
  const relay = await startRelay();
  const page = await browser.newPage();
  await page.goto(`${service.url}?demo`);
  const origin = new URL(page.url()).origin;
  const reply = await page.evaluate(
    async ({ url, body }) => {
      const r = await fetch(url, {
        method: 'POST',
        headers: { 'content-type': 'application/json' },
        body,
      });
      return { status: r.status, body: await r.text() };
    },
    { url: `http://127.0.0.1:${relay.port}/api/print_sheet`, body: PRINT_BODY },
  );
  await page.close();
  expect(reply.status, reply.body).toBe(200);
  const printed = JSON.parse(reply.body) as { bytes: number; printer: string };
  expect(printed.printer).toBe(QUEUE);
  expect(await apiExchanges(relay, 2)).toEqual([
    `OPTIONS /api/print_sheet ${origin} HTTP/1.1 204 No Content`,
    `POST /api/print_sheet ${origin} HTTP/1.1 200 OK`,
  ]);
  expect(await queuedJobs()).toHaveLength(1);
  const jobs = await printer.waitForJobs(1);
  expect(jobs).toHaveLength(1);
  expect(jobs[0]!.length).toBe(printed.bytes);
  expect(jobs[0]!.toString('latin1')).toMatch(/^SIZE 40 mm, 30 mm\r\n[^]*\r\nPRINT 1,1\r\n$/);
});
