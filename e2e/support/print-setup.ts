/// <reference types="node" />
// The printing tests' common ground: recording printers behind raw queues of a private cupsd,
// the service binary talking to that cupsd, one Chromium, and designer pages on the service.
//
//   const setup = await startPrintSetup({ queues: ['Zeko_QX530'] });
//   const { page, sent } = await setup.open({ printer: 'Zeko_QX530' });
//   …
//   await setup.stop();
import type { Browser, BrowserContext, Page, Request } from 'playwright-core';
import type { PrintRequest } from '../../web/src/print/rules';
import { collectPageErrors, launchChromium } from './chromium';
import {
  startCups,
  startRecordingPrinter,
  type PrivateCups,
  type RecordingOptions,
  type RecordingPrinter,
} from './cups';
import { startService, type RunningService } from './service';

export interface PrintSetupOptions {
  /** Raw queues, in the order they are added. */
  queues: readonly string[];
  /** "each": every queue has its own printer; "one": all share the first one. */
  printers?: 'each' | 'one';
  /** The recording printers' pace. */
  printer?: RecordingOptions;
  /** Made the system's default queue. */
  defaultQueue?: string;
}

export interface OpenOptions {
  viewport?: { width: number; height: number };
  /** Opens the page in this context instead of the browser's default one. */
  context?: BrowserContext;
  /** Waits until the page has chosen this printer. */
  printer?: string;
  /** Waits until the splash has left the page. */
  splash?: boolean;
  /** Opens the page without the api parameter: it finds the service on its own port. */
  ownPort?: boolean;
  /** Runs on the new page before it loads (routes, init scripts). */
  before?: (page: Page) => Promise<unknown>;
}

export interface DesignerOnPrinter {
  page: Page;
  errors: string[];
  /** Every `print_sheet` request the page sent, in order; tests may empty it. */
  sent: PrintRequest[];
}

export interface PrintSetup {
  cups: PrivateCups;
  service: RunningService;
  browser: Browser;
  /** The recording printer behind each queue. */
  printers: Record<string, RecordingPrinter>;
  open(options?: OpenOptions): Promise<DesignerOnPrinter>;
  stop(): Promise<void>;
}

/** The designer's address on a service that does not listen on the default port. */
export const designerUrl = (service: RunningService): string =>
  `${service.url}?api=${encodeURIComponent(`http://127.0.0.1:${service.port}`)}`;

export async function startPrintSetup(options: PrintSetupOptions): Promise<PrintSetup> {
  const recording: RecordingPrinter[] = [];
  const printers: Record<string, RecordingPrinter> = {};
  let cups: PrivateCups | undefined;
  let service: RunningService | undefined;
  let browser: Browser | undefined;
  const stop = async () => {
    await browser?.close();
    await service?.stop();
    await cups?.stop();
    for (const printer of recording) await printer.close();
  };
  try {
    cups = await startCups();
    for (const queue of options.queues) {
      if (recording.length === 0 || options.printers !== 'one')
        recording.push(await startRecordingPrinter(options.printer));
      printers[queue] = recording[recording.length - 1];
      await cups.addRawQueue(queue, printers[queue].port);
    }
    if (options.defaultQueue) await cups.tool('lpadmin', ['-d', options.defaultQueue]);
    service = await startService({ env: cups.env });
    browser = await launchChromium();
  } catch (error) {
    await stop(); // nothing half started outlives a failed set-up
    throw error;
  }
  return setupOn(cups, service, browser, printers, stop);
}

function setupOn(
  cups: PrivateCups,
  service: RunningService,
  browser: Browser,
  printers: Record<string, RecordingPrinter>,
  stop: () => Promise<void>,
): PrintSetup {
  const open = async (how: OpenOptions = {}): Promise<DesignerOnPrinter> => {
    const page = how.context
      ? await how.context.newPage()
      : await browser.newPage(how.viewport ? { viewport: how.viewport } : {});
    if (how.context && how.viewport) await page.setViewportSize(how.viewport);
    const errors = collectPageErrors(page);
    const sent: PrintRequest[] = [];
    page.on('request', (r: Request) => {
      if (r.url().endsWith('/api/print_sheet'))
        sent.push((r.postDataJSON() as { request: PrintRequest }).request);
    });
    await how.before?.(page);
    await page.goto(how.ownPort ? service.url : designerUrl(service));
    await page.waitForFunction(() => window.__sv !== undefined, undefined, { timeout: 30_000 });
    if (how.splash) await page.waitForSelector('#splash', { state: 'detached', timeout: 15_000 });
    if (how.printer)
      await page.waitForFunction(
        (name) => document.getElementById('printer-value')?.textContent === name,
        how.printer,
        { timeout: 30_000 },
      );
    return { page, errors, sent };
  };

  return { cups, service, browser, printers, open, stop };
}
