// Printer profiles: each printer's own origin correction, kept as one small preference apart
// from documents, so a label printed on another printer is not shifted by this one's roll.

import { defaultStorage, readJsonKey, writeJsonKey, type KeyValueStorage } from './storage';

export const PRINTER_PROFILES_KEY = 'sorvendale.printer-profiles.v1';

/** How far the printer's origin is moved, in millimetres; + is right and down. */
export interface PrinterOffset {
  xMm: number;
  yMm: number;
}

export const NO_PRINTER_OFFSET: PrinterOffset = { xMm: 0, yMm: 0 };
export const PRINTER_OFFSET_LIMIT_MM = 10;
export const PRINTER_OFFSET_STEP_MM = 0.1;

/** To the 0.1 mm step and within ±10 mm; anything unreadable is 0. */
export function clampPrinterOffset(value: number): number {
  if (!Number.isFinite(value)) return 0;
  const limited = Math.min(PRINTER_OFFSET_LIMIT_MM, Math.max(-PRINTER_OFFSET_LIMIT_MM, value));
  // Rounded in tenths so 0.30000000000000004 is stored and shown as 0.3; −0 becomes 0.
  return Math.round(limited * 10) / 10 || 0;
}

type Profiles = Record<string, { xMm: number; yMm: number }>;

function readProfiles(storage: KeyValueStorage): Profiles {
  const value = readJsonKey(PRINTER_PROFILES_KEY, storage);
  return value !== null && typeof value === 'object' && !Array.isArray(value)
    ? (value as Profiles)
    : {};
}

/** The printer's offset; a printer without a profile (or with a damaged one) has none. */
export function readPrinterOffset(
  printer: string,
  storage: KeyValueStorage = defaultStorage(),
): PrinterOffset {
  const profiles = readProfiles(storage);
  const entry: unknown = Object.hasOwn(profiles, printer) ? profiles[printer] : undefined;
  if (entry === null || typeof entry !== 'object') return NO_PRINTER_OFFSET;
  const { xMm, yMm } = entry as Record<string, unknown>;
  return {
    xMm: clampPrinterOffset(typeof xMm === 'number' ? xMm : 0),
    yMm: clampPrinterOffset(typeof yMm === 'number' ? yMm : 0),
  };
}

/** Saves the offset for this printer only; a zero offset removes its profile. */
export function writePrinterOffset(
  printer: string,
  offset: PrinterOffset,
  storage: KeyValueStorage = defaultStorage(),
): boolean {
  const profiles = readProfiles(storage);
  const xMm = clampPrinterOffset(offset.xMm);
  const yMm = clampPrinterOffset(offset.yMm);
  if (xMm === 0 && yMm === 0) delete profiles[printer];
  else profiles[printer] = { xMm, yMm };
  return writeJsonKey(PRINTER_PROFILES_KEY, profiles, storage);
}

function signedMm(value: number): string {
  if (value > 0) return `+${value.toFixed(1)}`;
  if (value < 0) return `−${(-value).toFixed(1)}`;
  return '0.0';
}

/** "+1.5 / −0.5 mm": x, then y. */
export function formatPrinterOffset(offset: PrinterOffset): string {
  return `${signedMm(offset.xMm)} / ${signedMm(offset.yMm)} mm`;
}
