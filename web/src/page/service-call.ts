// The service as every UI area sees it: one call shape, and the printer choice discovery owns.

/** The service call as the page's client makes it (handed in by the composition root). */
export type CallService = <T = unknown>(
  command: string,
  args?: Record<string, unknown> | null,
) => Promise<T>;

/**
 * Base64 text in a call's arguments, which the client copies into the request body byte for
 * byte: it needs no JSON escaping. A printed row's raster is some 300 kB of it; as a plain
 * string JSON.stringify scanned and copied it and fetch then converted it again, a fifth of the
 * page's work per batch row. Whatever else serialises it gets the plain string.
 */
export class Base64Text {
  #text: string | (() => string);

  /**
   * `text` is the Base64, or what makes it when first asked for. `bytes` holds the same text
   * as ASCII where another thread (the row worker) made them, so the page only copies them.
   */
  constructor(
    text: string | (() => string),
    readonly bytes?: Uint8Array,
  ) {
    this.#text = text;
  }

  get text(): string {
    if (typeof this.#text !== 'string') this.#text = this.#text();
    return this.#text;
  }

  toJSON(): string {
    return this.text;
  }
}

/** The value as JSON gives it back: a `Base64Text` becomes its string. */
export const plainJson = <T>(value: T): T => JSON.parse(JSON.stringify(value)) as T;

/** The printer choice and reachability, owned by printer discovery. */
export interface PrinterView {
  selectedPrinter: string;
  serviceReachable: boolean;
}
