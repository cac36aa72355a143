import { spawn, type ChildProcess } from 'node:child_process';
import { existsSync } from 'node:fs';
import { createServer, type AddressInfo } from 'node:net';
import { createServer as createHttpServer } from 'node:http';
import { resolve } from 'node:path';
import { afterAll, beforeAll, describe, expect, it } from 'vitest';
import { MemoryStorage, STORAGE_KEYS } from '../src/document/storage';
import {
  createServiceClient,
  findBridge,
  resolveApiBase,
  SERVICE_ADDRESS,
  type CallService,
} from '../src/service/client';
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
    await call('print_sheet', { request: 1 });
    expect(seen).toEqual([
      ['list_printers', {}],
      ['print_sheet', { request: 1 }],
    ]);
  });
});

describe('failures without the service', () => {
  it('names the address that could not be reached', async () => {
    const port = await freePort();
    const call = createServiceClient({ apiBase: `http://127.0.0.1:${port}`, origin: 'x' });
    await expect(call('health')).rejects.toThrow(
      `无法连接本地打印服务（http://127.0.0.1:${port}）。请确认 run-web.cmd 的窗口还开着。`,
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
    await expect(call('no_such_command')).rejects.toThrow(/^no such api/);
  });
});
