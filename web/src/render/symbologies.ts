// The barcode encoders offered in the inspector, in display order. The value is the library's
// encoder name; "ITF-14" is plain Interleaved 2 of 5. `options` are extra library options the
// symbology's standard needs: Code 93 carries two check characters, which the library leaves out
// unless asked, and scanners refuse it without them.
export const SYMBOLOGIES: readonly {
  value: string;
  label: string;
  options?: Readonly<Record<string, unknown>>;
}[] = [
  { value: 'code128', label: 'Code 128' },
  { value: 'code39', label: 'Code 39' },
  { value: 'code93', label: 'Code 93', options: { includecheck: true } },
  { value: 'ean13', label: 'EAN-13' },
  { value: 'ean8', label: 'EAN-8' },
  { value: 'upca', label: 'UPC-A' },
  { value: 'upce', label: 'UPC-E' },
  { value: 'interleaved2of5', label: 'ITF-14' },
  { value: 'rationalizedCodabar', label: 'Codabar' },
  { value: 'gs1-128', label: 'GS1-128' },
  { value: 'databaromni', label: 'GS1 DataBar' },
];

/** The extra library options of an encoder; none for encoders outside the list. */
export function symbologyOptions(bcid: string): Readonly<Record<string, unknown>> {
  return SYMBOLOGIES.find((s) => s.value === bcid)?.options ?? {};
}
