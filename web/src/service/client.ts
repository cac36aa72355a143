// The only road to the print service: HTTP to /api/<command>, or the desktop shell's bridge.

import { Base64Text, plainJson, type CallService } from '../page/service-call';

export const SERVICE_ADDRESS = 'http://127.0.0.1:17890';
export const SERVICE_PORT = '17890';

export interface PageLocation {
  search: string;
  protocol: string;
  hostname: string;
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

const LOOPBACK_HOSTS = new Set(['127.0.0.1', 'localhost', '[::1]']);

/**
 * The service can listen on another port (--port). A page it serves there would still call the
 * fixed address by the rule above, so such a page (loopback, plain http, the rule picked the fixed
 * address) first asks its own origin whether it is this service.
 */
export function shouldProbeOwnOrigin(location: Omit<PageLocation, 'origin'>): boolean {
  return (
    resolveApiBase(location) === SERVICE_ADDRESS &&
    location.protocol === 'http:' &&
    LOOPBACK_HOSTS.has(location.hostname) &&
    location.port !== SERVICE_PORT
  );
}

/** This service's health reply: exactly `ok` true and a whole printer count. */
export function isHealthReply(value: unknown): boolean {
  if (typeof value !== 'object' || value === null || Array.isArray(value)) return false;
  const keys = Object.keys(value);
  const { ok, printers } = value as { ok?: unknown; printers?: unknown };
  return (
    keys.length === 2 &&
    ok === true &&
    typeof printers === 'number' &&
    Number.isInteger(printers) &&
    printers >= 0
  );
}

/**
 * The API base for this page: the rule's answer, or the own origin ('') when the probe finds
 * this service there. Any failure of the probe keeps the rule.
 */
export async function settleApiBase(
  location: Omit<PageLocation, 'origin'>,
  doFetch: typeof fetch = globalThis.fetch.bind(globalThis),
): Promise<string> {
  const ruled = resolveApiBase(location);
  if (!shouldProbeOwnOrigin(location)) return ruled;
  try {
    const reply = await doFetch('/api/health', { method: 'GET', cache: 'no-store' });
    if (reply.status !== 200) return ruled;
    return isHealthReply(JSON.parse(await reply.text())) ? '' : ruled;
  } catch {
    return ruled;
  }
}

export function findBridge(scope: object = globalThis): Bridge | undefined {
  if (!('__TAURI_INTERNALS__' in scope)) return undefined;
  return (scope as { __TAURI_INTERNALS__: Bridge }).__TAURI_INTERNALS__;
}

export function connectionFailureText(base: string, origin: string): string {
  return `无法连接本地打印服务（${base === '' ? origin : base}）。请确认 Sorvendale 本地打印服务还在运行。`;
}

/** The request never got an answer: no service there, refused or blocked. */
export class ServiceConnectionError extends Error {
  constructor(message: string) {
    super(message);
    this.name = 'ServiceConnectionError';
  }
}

/** The service answered with a status outside 200–299; `body` is its own text (maybe empty). */
export class ServiceReplyError extends Error {
  constructor(
    readonly status: number,
    readonly body: string,
  ) {
    super(body === '' ? `请求失败：${status}` : body);
    this.name = 'ServiceReplyError';
  }
}

export type { CallService };

/**
 * The request body: the arguments' JSON text, the same bytes JSON.stringify gives in UTF-8, with
 * each `Base64Text` copied in where its string goes instead of passing through the serialiser
 * and fetch's string conversion, or as the bytes another thread made of it. Without any, the
 * plain JSON string.
 */
export function requestBody(args: unknown): string | Uint8Array<ArrayBuffer> {
  const verbatim: Base64Text[] = [];
  const mark = `\u0000${Math.random()}`;
  // A copy with each one's place marked; a replacer would come too late, after its toJSON made
  // the text.
  const marked = (value: unknown): unknown => {
    if (value instanceof Base64Text) {
      verbatim.push(value);
      return mark;
    }
    if (Array.isArray(value)) return value.map(marked);
    if (value === null || typeof value !== 'object') return value;
    if (Object.getPrototypeOf(value) !== Object.prototype) return value;
    return Object.fromEntries(Object.entries(value).map(([k, v]) => [k, marked(v)]));
  };
  const text = JSON.stringify(marked(args));
  if (verbatim.length === 0) return text;
  const parts = text.split(JSON.stringify(mark));
  // The mark in the data itself: too rare to do better than the plain way.
  if (parts.length !== verbatim.length + 1) return JSON.stringify(args);
  const encoder = new TextEncoder();
  const pieces = parts.map((part) => encoder.encode(part));
  let size = 2 * verbatim.length;
  for (const piece of pieces) size += piece.length;
  for (const value of verbatim) size += value.bytes?.length ?? value.text.length;
  const body = new Uint8Array(size);
  let at = 0;
  pieces.forEach((piece, i) => {
    body.set(piece, at);
    at += piece.length;
    if (i === verbatim.length) return;
    body[at++] = 0x22;
    const { bytes } = verbatim[i];
    if (bytes) body.set(bytes, at);
    at += bytes ? bytes.length : encoder.encodeInto(verbatim[i].text, body.subarray(at)).written;
    body[at++] = 0x22;
  });
  return body;
}

export interface ServiceClientOptions {
  /** A promise while the base is still being settled at load; every call waits for it. */
  apiBase: string | Promise<string>;
  origin: string;
  bridge?: Bridge;
  fetch?: typeof fetch;
}

export function createServiceClient(options: ServiceClientOptions): CallService {
  const { origin, bridge } = options;
  return async <T>(command: string, args?: Record<string, unknown> | null): Promise<T> => {
    // The bridge's transport may clone rather than serialise: it gets plain JSON values.
    if (bridge) return (await bridge.invoke(command, plainJson(args ?? {}))) as T;
    const apiBase = await options.apiBase;
    const doFetch = options.fetch ?? globalThis.fetch.bind(globalThis);
    let response: Response;
    try {
      response = await doFetch(`${apiBase}/api/${command}`, {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: requestBody(args ?? {}),
      });
    } catch {
      throw new ServiceConnectionError(connectionFailureText(apiBase, origin));
    }
    if (response.status < 200 || response.status > 299) {
      let text = '';
      try {
        text = await response.text();
      } catch {
        // A body cut off mid-way is reported by status alone.
      }
      throw new ServiceReplyError(response.status, text);
    }
    return JSON.parse(await response.text()) as T;
  };
}

function pageLocation(): PageLocation {
  const loc = (globalThis as { location?: PageLocation }).location;
  return loc ?? { search: '', protocol: 'file:', hostname: '', port: '', origin: 'null' };
}

const bridge = findBridge();
export const bridgePresent = bridge !== undefined;

/** Settled once at load and fixed for the page's life; with the bridge HTTP is never used. */
export const apiBase: Promise<string> = bridgePresent
  ? Promise.resolve(resolveApiBase(pageLocation()))
  : settleApiBase(pageLocation());

export const callService: CallService = createServiceClient({
  apiBase,
  origin: pageLocation().origin,
  bridge,
});
