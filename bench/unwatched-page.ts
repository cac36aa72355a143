/// <reference types="node" />
// A tab that Playwright does not watch. Playwright turns on the DevTools network domain in every
// page it drives: Chromium then copies each request body for it and Playwright's own process
// parses it, which for a batch of 300 kB requests cost a third of its speed (docs/testing.md).
// This tab is opened and driven through the browser's own DevTools session instead, with only
// the domains the benchmark reads (runtime, performance, heap).
import type { Browser, CDPSession } from 'playwright-core';

/** A reply from the tab; its events (no `id`) are not listened to. */
type Message = { id?: number; result?: unknown; error?: unknown };

export interface UnwatchedPage {
  /** Runs `fn(arg)` in the page and answers its (awaited, JSON-able) result. */
  evaluate<A, R>(fn: (arg: A) => R | Promise<R>, arg?: A): Promise<R>;
  /** Polls `fn(arg)` until it is true. */
  waitFor<A>(fn: (arg: A) => unknown, arg: A, timeoutMs?: number): Promise<void>;
  /** A DevTools command to the page itself. */
  send(method: string, params?: object): Promise<Record<string, unknown>>;
  close(): Promise<void>;
}

/**
 * Opens `url` in a new tab. `preload` runs before the page's own scripts, as a string of
 * JavaScript.
 */
export async function openUnwatchedPage(
  browser: Browser,
  url: string,
  preload?: string,
): Promise<UnwatchedPage> {
  const session: CDPSession = await browser.newBrowserCDPSession();
  const { targetId } = await session.send('Target.createTarget', {
    url: 'about:blank',
    newWindow: true,
  });
  const { sessionId } = await session.send('Target.attachToTarget', { targetId, flatten: false });
  let seq = 1;
  const pending = new Map<number, { resolve: (v: never) => void; reject: (e: Error) => void }>();
  session.on('Target.receivedMessageFromTarget', (event) => {
    if (event.sessionId !== sessionId) return;
    const message = JSON.parse(event.message) as Message;
    const waiter = message.id === undefined ? undefined : pending.get(message.id);
    if (!waiter) return;
    pending.delete(message.id!);
    if (message.error) waiter.reject(new Error(JSON.stringify(message.error)));
    else waiter.resolve(message.result as never);
  });
  const send = (method: string, params: object = {}) =>
    new Promise<Record<string, unknown>>((resolve, reject) => {
      const id = seq++;
      pending.set(id, { resolve, reject });
      session
        .send('Target.sendMessageToTarget', {
          sessionId,
          message: JSON.stringify({ id, method, params }),
        })
        .catch(reject);
    });

  const evaluate = async <A, R>(fn: (arg: A) => R | Promise<R>, arg?: A): Promise<R> => {
    const reply = (await send('Runtime.evaluate', {
      expression: `(${fn.toString()})(${arg === undefined ? '' : JSON.stringify(arg)})`,
      awaitPromise: true,
      returnByValue: true,
    })) as { result: { value: R }; exceptionDetails?: { exception?: { description?: string } } };
    if (reply.exceptionDetails)
      throw new Error(reply.exceptionDetails.exception?.description ?? 'page script failed');
    return reply.result.value;
  };

  await send('Page.enable');
  // Playwright's own pages get this viewport; each tab has a window of its own, so that a tab
  // opened later does not hide this one (hidden tabs draw no frames and run slowed timers).
  await send('Emulation.setDeviceMetricsOverride', {
    width: 1280,
    height: 720,
    deviceScaleFactor: 1,
    mobile: false,
  });
  if (preload) await send('Page.addScriptToEvaluateOnNewDocument', { source: preload });
  await send('Page.navigate', { url });
  const loaded = Date.now();
  while (!(await evaluate(() => document.readyState === 'complete').catch(() => false))) {
    if (Date.now() - loaded > 30_000) throw new Error(`${url} did not load`);
    await new Promise((r) => setTimeout(r, 50));
  }

  return {
    evaluate,
    async waitFor(fn, arg, timeoutMs = 600_000) {
      const until = Date.now() + timeoutMs;
      while (!(await evaluate(fn, arg))) {
        if (Date.now() > until) throw new Error('the page did not get there in time');
        await new Promise((r) => setTimeout(r, 50));
      }
    },
    send,
    async close() {
      await session.send('Target.closeTarget', { targetId }).catch(() => undefined);
      await session.detach().catch(() => undefined);
    },
  };
}
