/// <reference types="node" />
// Between a designer page and the service: every API call goes through as it is, and each
// print_sheet request is kept as it crossed the wire, the bytes the service is given, whatever
// form the page handed its body to the browser in (DevTools does not show every form).
import { createServer, request } from 'node:http';
import type { AddressInfo } from 'node:net';
import type { PrintRequest } from '../../web/src/print/rules';
import type { RunningService } from './service';

export interface ApiRelay {
  /** The base the page is given as its api parameter. */
  readonly url: string;
  /** Every print_sheet request, in the order it arrived; tests may empty it. */
  readonly sent: PrintRequest[];
  close(): Promise<void>;
}

export async function startApiRelay(service: RunningService): Promise<ApiRelay> {
  const sent: PrintRequest[] = [];
  const server = createServer((incoming, reply) => {
    const chunks: Buffer[] = [];
    incoming.on('data', (chunk: Buffer) => chunks.push(chunk));
    incoming.on('end', () => {
      const body = Buffer.concat(chunks);
      if (incoming.method === 'POST' && incoming.url?.endsWith('/api/print_sheet'))
        sent.push((JSON.parse(body.toString('utf8')) as { request: PrintRequest }).request);
      const onward = request(
        {
          host: '127.0.0.1',
          port: service.port,
          method: incoming.method,
          path: incoming.url,
          headers: incoming.headers,
        },
        (answer) => {
          reply.writeHead(answer.statusCode ?? 502, answer.headers);
          answer.pipe(reply);
        },
      );
      onward.on('error', () => reply.destroy());
      onward.end(body);
    });
  });
  await new Promise<void>((done) => server.listen(0, '127.0.0.1', done));
  const { port } = server.address() as AddressInfo;
  return {
    url: `http://127.0.0.1:${port}`,
    sent,
    close: () =>
      new Promise<void>((done) => {
        server.closeAllConnections();
        server.close(() => done());
      }),
  };
}
