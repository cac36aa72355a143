// "下载本地服务": the service offers its own program file. The page asks it once what that file
// is, so a Linux program is saved under its own name and the title says what it is.
import type { Elements } from '../page/elements';

const WINDOWS_NAME = 'Sorvendale.exe';

export interface DownloadOffer {
  name: string;
  label: string;
  title: string;
}

/** The saved name from a download's Content-Disposition line, if it names one. */
export function dispositionName(disposition: string | null): string | undefined {
  const m = /filename="([^"]+)"/.exec(disposition ?? '');
  return m ? m[1] : undefined;
}

/** What the link offers for the program the service is; nothing keeps the page's own wording. */
export function downloadOffer(name: string | undefined): DownloadOffer | undefined {
  if (name === undefined || name === WINDOWS_NAME) return undefined;
  return {
    name,
    label: '下载本地服务程序',
    title: `下载本机正在运行的本地打印服务程序“${name}”（非 Windows 版，不是 EXE，适用于与本机相同的系统）`,
  };
}

/**
 * Asks on the first pointer or focus on either link, before any click: the service's answer is
 * a download's header block, which the browser ends as an aborted request, so the page does not
 * ask on every load. The saved name never depends on it: the service's header names the file.
 */
export function installDownloadLink(
  el: Pick<Elements, 'btn-download-server-side' | 'btn-download-server'>,
  request: (url: string) => Promise<Response> = (url) => fetch(url, { method: 'HEAD' }),
): void {
  const links = [el['btn-download-server-side'], el['btn-download-server']];
  let asked = false;
  const ask = () => {
    if (asked) return;
    asked = true;
    void request(links[0].href).then(
      (reply) => {
        const offer = reply.ok
          ? downloadOffer(dispositionName(reply.headers.get('Content-Disposition')))
          : undefined;
        if (offer) applyOffer(links, offer);
      },
      // Without the service (a page opened from disk) the links keep their wording.
      () => undefined,
    );
  };
  for (const link of links) {
    link.addEventListener('pointerenter', ask);
    link.addEventListener('focus', ask);
  }
}

function applyOffer(links: HTMLAnchorElement[], offer: DownloadOffer): void {
  for (const link of links) {
    link.download = offer.name;
    link.title = offer.title;
  }
  // The print card's link keeps the wording the printer list gives it.
  const main = links[0];
  const text = [...main.childNodes].reverse().find((n) => n.nodeType === Node.TEXT_NODE);
  if (text) text.textContent = offer.label;
}
