// The printer dropdown, the refresh button and the local-service card.

import type { Elements } from '../page/elements';
import type { StatusLine } from '../page/status';
import { writeHidden, writeText } from '../page/write';
import { bridgePresent, callService, ServiceReplyError, type CallService } from './client';
import type { PrinterQueueCommands, StatusProbe } from '../page/printer-status';
import { printerStateLine } from './printer-status';
import { discoverPrinters, rememberPrinter, type PrinterInfo, type PrinterState } from './printers';

export const NO_SERVICE_HINT =
  '未连接本地打印服务。下载“Sorvendale.exe”双击运行即可原生直打；也可以先用浏览器打印。';
export const DOWNLOAD_HINT =
  '正在下载 Sorvendale.exe。下载完成后双击运行，浏览器会自动打开本地版页面。';

export type PrinterElements = Pick<
  Elements,
  | 'printer-dropdown'
  | 'printer-trigger'
  | 'printer-value'
  | 'printer-menu'
  | 'btn-refresh-printer'
  | 'printer-state'
  | 'local-service-card'
  | 'local-service-note'
  | 'btn-download-server'
>;

export interface PrinterControls {
  /** Printer discovery; `announce` adds the "found N printers" hint. */
  refreshPrinters(announce?: boolean): Promise<void>;
  renderLocalServiceCard(): void;
  /** The selected printer's state beside the menu; never throws, unknown hides it. */
  refreshPrinterState(): Promise<void>;
  /** A status another area already asked for (a batch's polls), painted without asking again. */
  showPrinterState(printer: string, probe: StatusProbe): void;
  /** Called after every change of the selected printer, discovery included. */
  onPrinterChange(listener: () => void): void;
}

/**
 * The hint after a failed discovery. Only a connection failure means "no service here"; when
 * the service itself answered with its own text (say, no CUPS server to ask), that text is what
 * the user needs, not an advice to download what is already running.
 */
export function discoveryFailureHint(
  error: unknown,
  bridge: boolean,
): { text: string; tone: 'info' | 'error' } {
  if (bridge) return { text: String(error), tone: 'info' };
  if (error instanceof ServiceReplyError && error.body !== '')
    return { text: error.body, tone: 'error' };
  return { text: NO_SERVICE_HINT, tone: 'info' };
}

function badgeOf(p: PrinterInfo): string {
  if (p.is_zeko) return '目标机';
  if (p.is_default) return '默认';
  return typeof p.port === 'string' ? p.port : '';
}

/** Wires the dropdown, the refresh button and the download link; call once at start. */
export function installPrinterControls(
  el: PrinterElements,
  status: StatusLine,
  printerState: PrinterState,
  call: CallService = callService,
  queue?: PrinterQueueCommands,
): PrinterControls {
  const dropdown = el['printer-dropdown'];
  const setPrinterValue = (text: string) => {
    el['printer-value'].textContent = text;
  };
  const setMenuOpen = (open: boolean) => {
    dropdown.classList.toggle('is-open', open);
    el['printer-trigger'].setAttribute('aria-expanded', open ? 'true' : 'false');
  };

  const printerListeners: (() => void)[] = [];
  const printerChanged = () => {
    for (const listener of printerListeners) listener();
  };

  // Only the newest answer paints: a slow reply for the previous printer must not win.
  let stateAsked = 0;
  const showState = (text: string, tone: string) => {
    const line = el['printer-state'];
    writeText(line, text);
    writeHidden(line, text === '');
    for (const t of ['ok', 'busy', 'bad']) line.classList.toggle(`is-${t}`, t === tone);
  };
  const refreshPrinterState = async (): Promise<void> => {
    const asked = ++stateAsked;
    const printer = printerState.selectedPrinter;
    if (!queue || printer === '' || !printerState.serviceReachable) {
      showState('', 'none');
      return;
    }
    const probe = await queue.printerStatus(printer);
    if (asked !== stateAsked) return;
    const line = printerStateLine(probe);
    showState(line.text, line.tone);
  };

  const renderPrinterMenu = (): void => {
    const menu = el['printer-menu'];
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
        printerChanged();
        void refreshPrinterState();
      });
      menu.append(item);
    }
  };

  const renderLocalServiceCard = (): void => {
    const reachable = printerState.serviceReachable;
    el['local-service-card'].classList.toggle('is-ready', reachable);
    el['local-service-note'].textContent = reachable
      ? '已连接：原生 TSPL 直打、偏移校准可用'
      : '免安装单文件，下载后双击即可原生直打';
    el['btn-download-server'].textContent = reachable ? '重新下载' : '下载 EXE';
  };

  const refreshPrinters = async (announce = false): Promise<void> => {
    setPrinterValue('正在查找打印机…');
    status.showHint('');
    const outcome = await discoverPrinters(call, printerState);
    switch (outcome.kind) {
      case 'chosen':
        setPrinterValue(outcome.printer.name);
        status.setStatus('online', '打印机就绪');
        if (announce) status.showHint(`已找到 ${outcome.count} 台打印机`);
        break;
      case 'empty':
        setPrinterValue('没有找到打印机');
        status.setStatus('error', '未检测到打印机');
        status.showHint('系统里没有安装任何打印队列，请先装驱动', 'error');
        break;
      case 'failed': {
        setPrinterValue('浏览器打印模式');
        status.setStatus('online', '浏览器打印就绪');
        const hint = discoveryFailureHint(outcome.error, bridgePresent);
        status.showHint(hint.text, hint.tone);
        break;
      }
    }
    renderPrinterMenu();
    renderLocalServiceCard();
    printerChanged();
    await refreshPrinterState();
  };

  el['printer-trigger'].addEventListener('click', () => {
    setMenuOpen(!dropdown.classList.contains('is-open'));
  });
  document.addEventListener('click', (event) => {
    if (event.target instanceof Node && dropdown.contains(event.target)) return;
    setMenuOpen(false);
  });
  el['btn-refresh-printer'].addEventListener('click', () => {
    void refreshPrinters(true);
  });
  el['btn-download-server'].addEventListener('click', () => {
    status.showHint(DOWNLOAD_HINT);
  });
  const showPrinterState = (printer: string, probe: StatusProbe): void => {
    if (printer !== printerState.selectedPrinter) return;
    // Newer than any question still on its way.
    stateAsked++;
    const line = printerStateLine(probe);
    showState(line.text, line.tone);
  };
  return {
    refreshPrinters,
    renderLocalServiceCard,
    refreshPrinterState,
    showPrinterState,
    onPrinterChange: (listener) => void printerListeners.push(listener),
  };
}
