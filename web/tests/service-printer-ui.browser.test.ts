import { beforeEach, describe, expect, it } from 'vitest';
import type { CallService } from '../src/service/client';
import { createStatusLine } from '../src/page/status';
import { installPrinterControls, NO_SERVICE_HINT } from '../src/service/printer-ui';
import type { PrinterQueueCommands, StatusProbe } from '../src/page/printer-status';
import { createPrinterState, type PrinterInfo } from '../src/service/printers';
import { pickElements } from './support/elements';

const markup = `
  <span id="status-dot" class="status-dot is-idle"></span><span id="status-title">就绪</span>
  <div id="printer-dropdown" class="device-dropdown">
    <button id="printer-trigger" aria-expanded="false"><span id="printer-value"></span></button>
    <div id="printer-menu"></div>
  </div>
  <p id="printer-state" hidden></p>
  <p id="printer-hint" hidden></p>
  <button id="btn-refresh-printer"></button>
  <div id="local-service-card"><span id="local-service-note"></span><a id="btn-download-server"></a></div>`;

const byId = (id: string) => document.getElementById(id) as HTMLElement;
const status = () => createStatusLine(pickElements('status-dot', 'status-title', 'printer-hint'));
const controls = (call: CallService, queue?: PrinterQueueCommands) =>
  installPrinterControls(
    pickElements(
      'printer-dropdown',
      'printer-trigger',
      'printer-value',
      'printer-menu',
      'btn-refresh-printer',
      'printer-state',
      'local-service-card',
      'local-service-note',
      'btn-download-server',
    ),
    status(),
    createPrinterState(),
    call,
    queue,
  );
const refreshPrinters = (announce: boolean, call: CallService) =>
  controls(call).refreshPrinters(announce);
const replying =
  (list: PrinterInfo[]): CallService =>
  async <T>() =>
    list as T;

describe('printer discovery on the page', () => {
  beforeEach(() => {
    document.body.innerHTML = markup;
    localStorage.clear();
  });

  it('chooses a printer, fills the menu and marks the card ready', async () => {
    await refreshPrinters(
      true,
      replying([
        { name: 'Office', is_default: true, is_zeko: false, port: 'LPT1' },
        { name: 'ZEKO QX530', is_default: false, is_zeko: true, port: 'USB001' },
        { name: 'Other', is_default: false, is_zeko: false, port: 'USB002' },
      ]),
    );
    expect(byId('printer-value').textContent).toBe('ZEKO QX530');
    expect(byId('status-dot').className).toBe('status-dot is-online');
    expect(byId('status-title').textContent).toBe('打印机就绪');
    expect(byId('printer-hint').textContent).toBe('已找到 3 台打印机');
    const items = [...byId('printer-menu').querySelectorAll('button')];
    expect(items.map((b) => b.textContent)).toEqual([
      'Office默认',
      'ZEKO QX530目标机',
      'OtherUSB002',
    ]);
    expect(items[1].classList.contains('is-selected')).toBe(true);
    expect(byId('local-service-card').classList.contains('is-ready')).toBe(true);
    expect(byId('btn-download-server').textContent).toBe('重新下载');

    items[2].click();
    expect(localStorage.getItem('sorvendale.printer')).toBe('Other');
    expect(byId('printer-value').textContent).toBe('Other');
    expect(byId('printer-menu').querySelector('.is-selected')?.textContent).toBe('OtherUSB002');
  });

  it('reports an empty list and falls back to browser printing without a service', async () => {
    await refreshPrinters(false, replying([]));
    expect(byId('printer-value').textContent).toBe('没有找到打印机');
    expect(byId('status-title').textContent).toBe('未检测到打印机');
    expect(byId('printer-menu').textContent).toBe('没有可用打印机');

    await refreshPrinters(false, async () => {
      throw new Error('down');
    });
    expect(byId('printer-value').textContent).toBe('浏览器打印模式');
    expect([byId('status-dot').className, byId('status-title').textContent]).toEqual([
      'status-dot is-online',
      '浏览器打印就绪',
    ]);
    expect(byId('printer-hint').textContent).toBe(NO_SERVICE_HINT);
    expect(byId('printer-hint').hidden).toBe(false);
    expect(byId('local-service-note').textContent).toBe('免安装单文件，下载后双击即可原生直打');
    expect(byId('btn-download-server').textContent).toBe('下载 EXE');
    status().setStatus('pending', 'x');
    expect(byId('status-dot').className).toBe('status-dot is-pending');
  });
});

describe('the printer state beside the menu', () => {
  beforeEach(() => {
    document.body.innerHTML = markup;
    localStorage.clear();
  });
  const list = replying([{ name: 'Zeko', is_default: true, is_zeko: true, port: 'USB001' }]);
  const job = (id: number, state: 'pending' | 'printing' | 'done') => ({
    id,
    state,
    submitted_ms: 1000,
  });

  it.each<{ probe: StatusProbe; text: string; cls: string }>([
    {
      probe: { kind: 'status', status: { jobs: [], message: '', reasons: [], state: 'idle' } },
      text: '打印机就绪',
      cls: 'is-ok',
    },
    {
      probe: {
        kind: 'status',
        status: {
          jobs: [job(1, 'printing'), job(2, 'pending'), job(3, 'done')],
          message: '',
          reasons: [],
          state: 'printing',
        },
      },
      text: '打印机正在打印（队列中 2 个作业）',
      cls: 'is-busy',
    },
    {
      probe: {
        kind: 'status',
        status: { jobs: [], message: 'x', reasons: ['已暂停', '缺纸'], state: 'paused' },
      },
      text: '打印机已暂停：缺纸',
      cls: 'is-bad',
    },
    { probe: { kind: 'missing' }, text: '', cls: '' },
    { probe: { kind: 'failed', error: new Error('spooler') }, text: '', cls: '' },
  ])('$text$cls after discovery', async ({ probe, text, cls }) => {
    const asked: string[] = [];
    const queue: PrinterQueueCommands = {
      printerStatus: async (printer) => (asked.push(printer), probe),
      cancelJobs: async () => ({ kind: 'cancelled', count: 0 }),
    };
    await controls(list, queue).refreshPrinters(false);
    expect(asked).toEqual(['Zeko']);
    const line = byId('printer-state');
    expect([line.textContent, line.hidden, line.className]).toEqual([text, text === '', cls]);
    // Unknown state leaves discovery's own words alone: printing stays possible.
    expect(byId('status-title').textContent).toBe('打印机就绪');
  });

  it('paints a status a batch already asked for, only for the selected printer', async () => {
    const paused: StatusProbe = {
      kind: 'status',
      status: { jobs: [], message: '', reasons: ['已暂停'], state: 'paused' },
    };
    const ui = controls(list, {
      printerStatus: async () => ({
        kind: 'status',
        status: { jobs: [], message: '', reasons: [], state: 'idle' },
      }),
      cancelJobs: async () => ({ kind: 'cancelled', count: 0 }),
    });
    await ui.refreshPrinters(false);
    ui.showPrinterState('Other', paused);
    expect(byId('printer-state').textContent).toBe('打印机就绪');
    ui.showPrinterState('Zeko', paused);
    expect(byId('printer-state').textContent).toBe('打印机已暂停');
  });
});
