// The service as every UI area sees it: one call shape, and the printer choice discovery owns.

/** The service call as the page's client makes it (handed in by the composition root). */
export type CallService = <T = unknown>(
  command: string,
  args?: Record<string, unknown> | null,
) => Promise<T>;

/** The printer choice and reachability, owned by printer discovery. */
export interface PrinterView {
  selectedPrinter: string;
  serviceReachable: boolean;
}
