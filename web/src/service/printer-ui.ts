// The printer dropdown, the refresh button and the local-service card.

import { setStatus, showHint } from '../shell/status';
import { bridgePresent, callService, type CallService } from './client';
import { discoverPrinters, printerState, rememberPrinter, type PrinterInfo } from './printers';

export const NO_SERVICE_HINT =
  '未连接本地打印服务。下载“Sorvendale.exe”双击运行即可原生直打；也可以先用浏览器打印。';
export const DOWNLOAD_HINT =
  '正在下载 Sorvendale.exe。下载完成后双击运行，浏览器会自动打开本地版页面。';

function byId(id: string): HTMLElement | null {
  return document.getElementById(id);
}

function setPrinterValue(text: string): void {
  const face = byId('printer-value');
  if (face) face.textContent = text;
}

function badgeOf(p: PrinterInfo): string {
  if (p.is_zeko) return '目标机';
  if (p.is_default) return '默认';
  return typeof p.port === 'string' ? p.port : '';
}

function setMenuOpen(open: boolean): void {
  byId('printer-dropdown')?.classList.toggle('is-open', open);
  byId('printer-trigger')?.setAttribute('aria-expanded', open ? 'true' : 'false');
}

export function renderPrinterMenu(): void {
  const menu = byId('printer-menu');
  if (!menu) return;
  menu.replaceChildren();
  if (printerState.printers.length === 0) {
    const empty = document.createElement('div');
    empty.className = 'device-dropdown-item';
    empty.textContent = '没有可用打印机';
    menu.append(empty);
    return;
  }
  for (const p of printerState.printers) {
    const item = document.createElement('button');
    item.type = 'button';
    item.className = 'device-dropdown-item';
    item.setAttribute('role', 'option');
    if (p.name === printerState.selectedPrinter) item.classList.add('is-selected');
    const name = document.createElement('span');
    name.textContent = p.name;
    const badge = document.createElement('small');
    badge.textContent = badgeOf(p);
    item.append(name, badge);
    item.addEventListener('click', () => {
      printerState.selectedPrinter = p.name;
      setPrinterValue(p.name);
      rememberPrinter(p.name);
      setMenuOpen(false);
      renderPrinterMenu();
    });
    menu.append(item);
  }
}

export function renderLocalServiceCard(): void {
  const reachable = printerState.serviceReachable;
  byId('local-service-card')?.classList.toggle('is-ready', reachable);
  const note = byId('local-service-note');
  if (note)
    note.textContent = reachable
      ? '已连接：原生 TSPL 直打、偏移校准可用'
      : '免安装单文件，下载后双击即可原生直打';
  const link = byId('btn-download-server');
  if (link) link.textContent = reachable ? '重新下载' : '下载 EXE';
}

export async function refreshPrinters(
  announce = false,
  call: CallService = callService,
): Promise<void> {
  setPrinterValue('正在查找打印机…');
  showHint('');
  const outcome = await discoverPrinters(call);
  switch (outcome.kind) {
    case 'chosen':
      setPrinterValue(outcome.printer.name);
      setStatus('online', '打印机就绪');
      if (announce) showHint(`已找到 ${outcome.count} 台打印机`);
      break;
    case 'empty':
      setPrinterValue('没有找到打印机');
      setStatus('error', '未检测到打印机');
      showHint('系统里没有安装任何打印队列，请先装驱动', 'error');
      break;
    case 'failed':
      setPrinterValue('浏览器打印模式');
      setStatus('online', '浏览器打印就绪');
      showHint(bridgePresent ? String(outcome.error) : NO_SERVICE_HINT);
      break;
  }
  renderPrinterMenu();
  renderLocalServiceCard();
}

/** Wires the dropdown, the refresh button and the download link; call once at start. */
export function installPrinterControls(): void {
  const dropdown = byId('printer-dropdown');
  byId('printer-trigger')?.addEventListener('click', () => {
    setMenuOpen(!dropdown?.classList.contains('is-open'));
  });
  document.addEventListener('click', (event) => {
    if (dropdown && event.target instanceof Node && dropdown.contains(event.target)) return;
    setMenuOpen(false);
  });
  byId('btn-refresh-printer')?.addEventListener('click', () => {
    void refreshPrinters(true);
  });
  byId('btn-download-server')?.addEventListener('click', () => {
    showHint(DOWNLOAD_HINT);
  });
}
