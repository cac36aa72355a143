// The only road to the print service: HTTP to /api/<command>, or the desktop shell's bridge.

export const SERVICE_ADDRESS = 'http://127.0.0.1:17890';
export const SERVICE_PORT = '17890';

export interface PageLocation {
  search: string;
  protocol: string;
  port: string;
  origin: string;
}

export interface Bridge {
  invoke(command: string, args: Record<string, unknown>, options?: unknown): Promise<unknown>;
}

/**
 * The `api` query parameter wins, even when empty (relative calls); a page the service serves on
 * its usual port calls its own origin; anything else calls the fixed loopback address.
 */
export function resolveApiBase(
  location: Pick<PageLocation, 'search' | 'protocol' | 'port'>,
): string {
  const params = new URLSearchParams(location.search);
  const api = params.get('api');
  if (api !== null) return api;
  if (location.protocol === 'http:' && (location.port === SERVICE_PORT || location.port === ''))
    return '';
  return SERVICE_ADDRESS;
}

export function findBridge(scope: object = globalThis): Bridge | undefined {
  if (!('__TAURI_INTERNALS__' in scope)) return undefined;
  return (scope as { __TAURI_INTERNALS__: Bridge }).__TAURI_INTERNALS__;
}

export function connectionFailureText(base: string, origin: string): string {
  return `无法连接本地打印服务（${base === '' ? origin : base}）。请确认 run-web.cmd 的窗口还开着。`;
}

export type CallService = <T = unknown>(
  command: string,
  args?: Record<string, unknown> | null,
) => Promise<T>;

export interface ServiceClientOptions {
  apiBase: string;
  origin: string;
  bridge?: Bridge;
  fetch?: typeof fetch;
}

export function createServiceClient(options: ServiceClientOptions): CallService {
  const { apiBase, origin, bridge } = options;
  return async <T>(command: string, args?: Record<string, unknown> | null): Promise<T> => {
    if (bridge) return (await bridge.invoke(command, args ?? {})) as T;
    const doFetch = options.fetch ?? globalThis.fetch.bind(globalThis);
    let response: Response;
    try {
      response = await doFetch(`${apiBase}/api/${command}`, {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify(args ?? {}),
      });
    } catch {
      throw new Error(connectionFailureText(apiBase, origin));
    }
    if (response.status < 200 || response.status > 299) {
      let text = '';
      try {
        text = await response.text();
      } catch {
        // A body cut off mid-way is reported by status alone.
      }
      throw new Error(text === '' ? `请求失败：${response.status}` : text);
    }
    return JSON.parse(await response.text()) as T;
  };
}

function pageLocation(): PageLocation {
  const loc = (globalThis as { location?: PageLocation }).location;
  return loc ?? { search: '', protocol: 'file:', port: '', origin: 'null' };
}

/** Settled once at load and fixed for the page's life. */
export const apiBase = resolveApiBase(pageLocation());
export const bridgePresent = findBridge() !== undefined;

export const callService: CallService = createServiceClient({
  apiBase,
  origin: pageLocation().origin,
  bridge: findBridge(),
});
