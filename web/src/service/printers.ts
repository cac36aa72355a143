// Printer discovery, the printer choice and the remembered printer.

import {
  defaultStorage,
  readPrinterPreference,
  writePrinterPreference,
  type KeyValueStorage,
} from '../document/storage';
import type { CallService, PrinterView } from '../page/service-call';

export interface PrinterInfo {
  name: string;
  is_default: boolean;
  is_zeko: boolean;
  port: string;
  driver?: string;
}

export interface PrinterState extends PrinterView {
  printers: PrinterInfo[];
}

/** The page's printer state: made once at start-up and handed to whoever reads or settles it. */
export const createPrinterState = (): PrinterState => ({
  printers: [],
  selectedPrinter: '',
  serviceReachable: false,
});

/**
 * The current choice, then the remembered one, then the first target printer, the default
 * printer and the first entry. A remembered name that vanished just falls through.
 */
export function choosePrinter(
  list: readonly PrinterInfo[],
  selected: string,
  remembered: string,
): PrinterInfo | undefined {
  return (
    list.find((p) => selected !== '' && p.name === selected) ??
    list.find((p) => remembered !== '' && p.name === remembered) ??
    list.find((p) => p.is_zeko === true) ??
    list.find((p) => p.is_default === true) ??
    list[0]
  );
}

/** When storage refuses, the choice holds for this page only. */
export const rememberPrinter = writePrinterPreference;

export type DiscoveryOutcome =
  | { kind: 'chosen'; printer: PrinterInfo; count: number }
  | { kind: 'empty' }
  | { kind: 'failed'; error: unknown };

/** Asks the service for its printers and settles the state; never throws. */
export async function discoverPrinters(
  call: CallService,
  state: PrinterState,
  storage: KeyValueStorage = defaultStorage(),
): Promise<DiscoveryOutcome> {
  let list: PrinterInfo[];
  try {
    const reply = await call<unknown>('list_printers');
    list = Array.isArray(reply) ? (reply as PrinterInfo[]) : [];
  } catch (error) {
    state.serviceReachable = false;
    state.selectedPrinter = '';
    return { kind: 'failed', error };
  }
  state.printers = list;
  state.serviceReachable = true;
  const chosen = choosePrinter(list, state.selectedPrinter, readPrinterPreference(storage));
  if (!chosen) {
    state.selectedPrinter = '';
    return { kind: 'empty' };
  }
  state.selectedPrinter = chosen.name;
  return { kind: 'chosen', printer: chosen, count: list.length };
}
