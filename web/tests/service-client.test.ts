import { spawn, type ChildProcess } from 'node:child_process';
import { existsSync } from 'node:fs';
import { createServer, type AddressInfo } from 'node:net';
import { createServer as createHttpServer } from 'node:http';
import { resolve } from 'node:path';
import { afterAll, beforeAll, describe, expect, it, vi } from 'vitest';
import { MemoryStorage, STORAGE_KEYS } from '../src/document/storage';
import {
  createServiceClient,
  findBridge,
  isHealthReply,
  requestBody,
  resolveApiBase,
  SERVICE_ADDRESS,
  ServiceConnectionError,
  ServiceReplyError,
  settleApiBase,
  shouldProbeOwnOrigin,
  type CallService,
} from '../src/service/client';
import { Base64Text } from '../src/page/service-call';
import { discoveryFailureHint, NO_SERVICE_HINT } from '../src/service/printer-ui';
import {
  choosePrinter,
  discoverPrinters,
  type PrinterInfo,
  type PrinterState,
} from '../src/service/printers';

const binary = process.env.SORVENDALE_BINARY ?? resolve(__dirname, '../../build/sorvendale');

async function freePort(): Promise<number> {
  return new Promise((done, fail) => {
    const server = createServer();
    server.once('error', fail);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address() as AddressInfo;
      server.close(() => done(port));
    });
  });
}

const printer = (name: string, extra: Partial<PrinterInfo> = {}): PrinterInfo => ({
  name,
  is_default: false,
  is_zeko: false,
  port: 'USB001',
  ...extra,
});

const blankPrint = {
  request: {
    printer: '',
    width_mm: 50,
    height_mm: 30,
    width_dots: 8,
    height_dots: 1,
    gap_mm: 2,
    density: 8,
    speed: 3,
    copies: 1,
    offset_x_dots: 0,
    offset_y_dots: 0,
    tear: true,
    data_b64: 'AA==',
    dry_run: true,
  },
};

describe('API base', () => {
  const at = (href: string) => {
    const u = new URL(href);
    return resolveApiBase({ search: u.search, protocol: u.protocol, port: u.port });
  };
  it('follows the page address and the api parameter', () => {
    expect(at('http://127.0.0.1:17890/')).toBe('');
    expect(at('http://localhost/index.html')).toBe('');
    expect(at('http://127.0.0.1:18000/')).toBe(SERVICE_ADDRESS);
    expect(at('https://example.com/')).toBe(SERVICE_ADDRESS);
    expect(at('file:///C:/label/index.html')).toBe(SERVICE_ADDRESS);
    expect(at('http://127.0.0.1:5173/?api=http://10.0.0.2:9000')).toBe('http://10.0.0.2:9000');
    expect(at('file:///x/index.html?api=')).toBe('');
    expect(at('http://127.0.0.1:17890/?demo&api=')).toBe('');
  });
});

describe('own origin on another port', () => {
  const where = (href: string) => {
    const u = new URL(href);
    return { search: u.search, protocol: u.protocol, hostname: u.hostname, port: u.port };
  };
  const health = JSON.stringify({ ok: true, printers: 0 });
  // Each case: page address, what its origin answers at /api/health (or a refused connection),
  // whether the page asks at all, and the base it settles on.
  const cases: Array<[string, number | 'refused', string, boolean, string]> = [
    ['http://127.0.0.1:8080/', 200, health, true, ''],
    ['http://localhost:8080/index.html', 200, '{"ok":true,"printers":3}', true, ''],
    ['http://[::1]:8080/', 200, health, true, ''],
    ['http://127.0.0.1:5173/', 200, '<!doctype html><html></html>', true, SERVICE_ADDRESS],
    ['http://127.0.0.1:5173/', 404, '', true, SERVICE_ADDRESS],
    ['http://127.0.0.1:8080/', 200, '{"ok":true}', true, SERVICE_ADDRESS],
    ['http://127.0.0.1:8080/', 200, '{"ok":true,"printers":1,"x":1}', true, SERVICE_ADDRESS],
    ['http://127.0.0.1:8080/', 200, '{"ok":false,"printers":1}', true, SERVICE_ADDRESS],
    ['http://127.0.0.1:8080/', 500, health, true, SERVICE_ADDRESS],
    ['http://127.0.0.1:8080/', 'refused', '', true, SERVICE_ADDRESS],
    // Every other setting keeps the rule without asking.
    ['http://127.0.0.1:8080/?api=http://10.0.0.2:9', 200, health, false, 'http://10.0.0.2:9'],
    ['http://127.0.0.1:8080/?api=', 200, health, false, ''],
    ['http://127.0.0.1:17890/', 200, health, false, ''],
    ['http://labels.example.com:8080/', 200, health, false, SERVICE_ADDRESS],
    ['https://127.0.0.1:8443/', 200, health, false, SERVICE_ADDRESS],
    ['file:///C:/label/index.html', 200, health, false, SERVICE_ADDRESS],
  ];
  it.each(cases)('%s answering %s %s', async (href, status, body, asks, base) => {
    const seen: string[] = [];
    const fake = (async (url: string) => {
      seen.push(url);
      if (status === 'refused') throw new TypeError('Failed to fetch');
      return new Response(body, { status });
    }) as typeof fetch;
    expect(shouldProbeOwnOrigin(where(href))).toBe(asks);
    expect(await settleApiBase(where(href), fake)).toBe(base);
    expect(seen).toEqual(asks ? ['/api/health'] : []);
  });

  it('recognises only the health reply', () => {
    expect(isHealthReply({ ok: true, printers: 0 })).toBe(true);
    for (const v of [null, [], { ok: true, printers: -1 }, { ok: true, printers: 1.5 }, { ok: 1 }])
      expect(isHealthReply(v), JSON.stringify(v)).toBe(false);
  });

  it('calls wait for the settled base', async () => {
    const urls: string[] = [];
    let settle: (base: string) => void = () => undefined;
    const call = createServiceClient({
      apiBase: new Promise<string>((done) => (settle = done)),
      origin: 'http://127.0.0.1:8080',
      fetch: (async (url: string) => {
        urls.push(url);
        return new Response('[]', { status: 200 });
      }) as typeof fetch,
    });
    const pending = call('list_printers');
    await Promise.resolve();
    expect(urls).toEqual([]);
    settle('');
    expect(await pending).toEqual([]);
    expect(urls).toEqual(['/api/list_printers']);
  });
});

describe('discovery failure hint', () => {
  const cases: Array<[string, unknown, boolean, string, string]> = [
    ['no connection', new ServiceConnectionError('无法连接'), false, NO_SERVICE_HINT, 'info'],
    [
      'service text',
      new ServiceReplyError(500, '枚举打印机失败：x'),
      false,
      '枚举打印机失败：x',
      'error',
    ],
    ['empty body', new ServiceReplyError(500, ''), false, NO_SERVICE_HINT, 'info'],
    ['plain error', new Error('boom'), false, NO_SERVICE_HINT, 'info'],
    ['bridge', new Error('boom'), true, 'Error: boom', 'info'],
  ];
  it.each(cases)('%s', (_label, error, bridge, text, tone) => {
    expect(discoveryFailureHint(error, bridge)).toEqual({ text, tone });
  });
});

describe('printer choice', () => {
  const list = [
    printer('A'),
    printer('B', { is_default: true }),
    printer('Z1', { is_zeko: true }),
    printer('Z2', { is_zeko: true }),
  ];
  it('falls through a vanished remembered printer to target, default and first', () => {
    expect(choosePrinter(list, 'B', 'A')?.name).toBe('B');
    expect(choosePrinter(list, 'gone', 'A')?.name).toBe('A');
    expect(choosePrinter(list, '', 'removed')?.name).toBe('Z1');
    expect(choosePrinter(list.slice(0, 2), '', 'removed')?.name).toBe('B');
    expect(choosePrinter([printer('P'), printer('Q')], '', '')?.name).toBe('P');
    expect(choosePrinter([], 'A', 'A')).toBeUndefined();
  });

  it('discovery settles the state and keeps the remembered name', async () => {
    const storage = new MemoryStorage();
    storage.setItem(STORAGE_KEYS.printer, 'removed');
    const state: PrinterState = { printers: [], selectedPrinter: '', serviceReachable: false };
    const ok: CallService = async <T>() => list as T;
    expect(await discoverPrinters(ok, state, storage)).toMatchObject({ kind: 'chosen', count: 4 });
    expect(state).toMatchObject({ selectedPrinter: 'Z1', serviceReachable: true });
    expect(storage.getItem(STORAGE_KEYS.printer)).toBe('removed');
    const down: CallService = async () => {
      throw new Error('x');
    };
    expect((await discoverPrinters(down, state, storage)).kind).toBe('failed');
    expect(state).toMatchObject({ selectedPrinter: '', serviceReachable: false, printers: list });
    const none: CallService = async <T>() => [] as T;
    expect(await discoverPrinters(none, state, storage)).toEqual({ kind: 'empty' });
    expect(state.selectedPrinter).toBe('');
  });
});

describe('bridge', () => {
  it('carries the same commands with an empty object for absent arguments', async () => {
    const seen: unknown[] = [];
    const scope = {
      __TAURI_INTERNALS__: { invoke: async (c: string, a: unknown) => (seen.push([c, a]), 7) },
    };
    const bridge = findBridge(scope);
    expect(findBridge({})).toBeUndefined();
    const call = createServiceClient({ apiBase: 'http://nowhere.invalid', origin: '', bridge });
    expect(await call('list_printers')).toBe(7);
    await call('print_sheet', { request: { copies: 1, data_b64: new Base64Text('AA==') } });
    expect(seen).toEqual([
      ['list_printers', {}],
      ['print_sheet', { request: { copies: 1, data_b64: 'AA==' } }],
    ]);
  });
});

describe('request body', () => {
  const b64 = (text: string) => new Base64Text(text);
  const unasked = vi.fn(() => '?');
  const plain = (args: unknown) => JSON.stringify(args);
  it.each([
    ['no Base64 text', 'string', { request: { printer: '标签机 "A"\\', copies: 2 } }],
    [
      'the raster mid-request',
      'bytes',
      { request: { printer: '办公室', data_b64: b64('QUJD+/=='), dry_run: true } },
    ],
    [
      'two, nested, at the edges',
      'bytes',
      [b64(''), { a: [b64('AA=='), '\u0000x'], z: '\n' }, b64('/w==')],
    ],
    [
      'one made elsewhere as bytes, beside one as text',
      'bytes',
      { a: new Base64Text(unasked, new TextEncoder().encode('QUJD')), b: b64('/w=='), c: '中' },
    ],
  ])('%s: the bytes JSON.stringify gives, as %s', async (_name, kind, args) => {
    const body = requestBody(args);
    expect(typeof body === 'string' ? 'string' : 'bytes').toBe(kind);
    const text = typeof body === 'string' ? body : new TextDecoder().decode(body);
    // The page does not make the text of a raster whose bytes the worker made.
    expect(unasked).not.toHaveBeenCalled();
    expect(text).toBe(plain(args).replace('"a":"?"', '"a":"QUJD"'));
  });

  it('falls back to the plain text when the data holds its mark', () => {
    const random = vi.spyOn(Math, 'random').mockReturnValue(0.5);
    const args = { note: '\u00000.5', data_b64: b64('AA==') };
    expect(requestBody(args)).toBe(plain(args));
    random.mockRestore();
  });
});

describe('failures without the service', () => {
  it('names the address that could not be reached', async () => {
    const port = await freePort();
    const call = createServiceClient({ apiBase: `http://127.0.0.1:${port}`, origin: 'x' });
    await expect(call('health')).rejects.toThrow(
      `无法连接本地打印服务（http://127.0.0.1:${port}）。请确认 Sorvendale 本地打印服务还在运行。`,
    );
    const state: PrinterState = { printers: [], selectedPrinter: 'P', serviceReachable: true };
    expect((await discoverPrinters(call, state, new MemoryStorage())).kind).toBe('failed');
    expect(state).toMatchObject({ serviceReachable: false, selectedPrinter: '' });
  });

  it('reports an empty error body by its status', async () => {
    const server = createHttpServer((_req, res) => {
      res.statusCode = 500;
      res.end();
    });
    await new Promise<void>((done) => server.listen(0, '127.0.0.1', done));
    const { port } = server.address() as AddressInfo;
    const call = createServiceClient({ apiBase: `http://127.0.0.1:${port}`, origin: '' });
    await expect(call('health')).rejects.toThrow(/^请求失败：500$/);
    await expect(call('health')).rejects.toBeInstanceOf(ServiceReplyError);
    await new Promise((done) => server.close(done));
  });
});

describe.skipIf(!existsSync(binary))('against the print service', () => {
  let child: ChildProcess;
  let call: CallService;
  let base: string;

  beforeAll(async () => {
    const port = await freePort();
    base = `http://127.0.0.1:${port}`;
    child = spawn(binary, ['--no-open', '--port', String(port)], { stdio: 'ignore' });
    call = createServiceClient({ apiBase: base, origin: '' });
    for (let i = 0; i < 100; i += 1) {
      try {
        await call('health');
        return;
      } catch {
        await new Promise((done) => setTimeout(done, 50));
      }
    }
    throw new Error('service did not start');
  }, 15000);

  afterAll(() => {
    child?.kill();
  });

  it('answers health and lists printers as an array or fails with its own text', async () => {
    expect(await call('health')).toMatchObject({ ok: true });
    let raw: string;
    try {
      const list = await call<PrinterInfo[]>('list_printers');
      expect(Array.isArray(list)).toBe(true);
      return;
    } catch (error) {
      raw = (error as Error).message;
    }
    const direct = await fetch(`${base}/api/list_printers`, { method: 'POST', body: '{}' });
    expect(direct.status).toBe(500);
    expect(raw).toBe(await direct.text());
  });

  it('shows an error body unchanged', async () => {
    await expect(call('print_sheet', blankPrint)).rejects.toThrow(/^没有选择打印机$/);
    // The raster as bytes copied into the body parses as the same request.
    const asBytes = { request: { ...blankPrint.request, data_b64: new Base64Text('AA==') } };
    await expect(call('print_sheet', asBytes)).rejects.toThrow(/^没有选择打印机$/);
    const made = new Base64Text('', new TextEncoder().encode('AA=='));
    const asMadeBytes = { request: { ...blankPrint.request, data_b64: made } };
    await expect(call('print_sheet', asMadeBytes)).rejects.toThrow(/^没有选择打印机$/);
    await expect(call('no_such_command')).rejects.toThrow(/^no such api/);
  });
});
