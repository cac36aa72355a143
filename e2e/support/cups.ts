/// <reference types="node" />
// A private CUPS scheduler and a recording network printer, for browser tests that print
// through the real service to a real spooler.
//
//   const printer = await startRecordingPrinter();   // TCP listener, like a port-9100 printer
//   const slow = await startRecordingPrinter({ bytesPerSecond: 20_000 });
//   const cups = await startCups();                   // cupsd with its own folders and socket
//   await cups.addRawQueue('Zeko', printer.port);
//   const service = await startService({ env: cups.env });   // the service talks to this cupsd
//   const jobs = await printer.waitForJobs(3);        // each job: the bytes of one connection
//   await cups.stop(); await printer.close();
//   const server = await startCups({ ippPort: 8631 });   // also serves IPP on 127.0.0.1:8631
//
// cupsd runs in the foreground as a child process and must be started as root. Everything it
// writes stays under one temporary folder, removed by stop(). POSIX only.
import { execFile, spawn, type ChildProcess } from 'node:child_process';
import { chmod, mkdir, mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { createServer, type Server } from 'node:net';
import { join } from 'node:path';

export interface RecordingPrinter {
  readonly port: number;
  /** The jobs recorded so far: one per connection, in the order the connections ended. */
  jobs(): Buffer[];
  /** Waits until at least `count` jobs have been recorded; rejects after `timeoutMs`. */
  waitForJobs(count: number, timeoutMs?: number): Promise<Buffer[]>;
  close(): Promise<void>;
}

export interface PrivateCups {
  /** The value of CUPS_SERVER: cupsd's private Unix socket. */
  readonly server: string;
  /** Environment for a process (the service, lp tools) that should use this cupsd only. */
  readonly env: Record<string, string>;
  /** A raw queue (no filter, no driver) sending each job to socket://127.0.0.1:port. */
  addRawQueue(name: string, port: number): Promise<void>;
  /** lpadmin, cupsreject, cupsaccept, lpstat… against this cupsd; resolves to the output. */
  tool(program: string, args: readonly string[]): Promise<string>;
  /** cupsd's error log and console output, for failure messages. */
  log(): Promise<string>;
  stop(): Promise<void>;
}

const sleep = (ms: number) => new Promise((r) => setTimeout(r, ms));

export interface RecordingOptions {
  /**
   * Reads at most this many bytes a second, like a printer that takes its time over each label:
   * the spooler then holds jobs while the printer works.
   */
  bytesPerSecond?: number;
}

export function startRecordingPrinter(options: RecordingOptions = {}): Promise<RecordingPrinter> {
  const jobs: Buffer[] = [];
  const waiters = new Set<() => void>();
  const { bytesPerSecond } = options;
  const server: Server = createServer((socket) => {
    const chunks: Buffer[] = [];
    // When the slow printer is through with what it has read; the job ends no earlier.
    let busyUntil = Date.now();
    socket.on('data', (d: Buffer) => {
      chunks.push(d);
      if (!bytesPerSecond) return;
      busyUntil = Math.max(busyUntil, Date.now()) + (d.length * 1000) / bytesPerSecond;
      socket.pause();
      setTimeout(() => socket.resume(), busyUntil - Date.now());
    });
    // A paused socket still reports its end at once, so the slow printer waits out its work
    // before it closes: the spooler's backend holds the job until then.
    socket.on('end', () =>
      setTimeout(
        () => {
          jobs.push(Buffer.concat(chunks));
          socket.end();
          for (const wake of [...waiters]) wake();
        },
        Math.max(0, busyUntil - Date.now()),
      ),
    );
    socket.on('error', () => socket.destroy());
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const address = server.address();
      const port = typeof address === 'object' && address ? address.port : 0;
      resolve({
        port,
        jobs: () => [...jobs],
        waitForJobs(count, timeoutMs = 30_000) {
          return new Promise((done, fail) => {
            const check = () => {
              if (jobs.length < count) return;
              clearTimeout(timer);
              waiters.delete(check);
              done([...jobs]);
            };
            const timer = setTimeout(() => {
              waiters.delete(check);
              fail(new Error(`printer got ${jobs.length} of ${count} jobs in ${timeoutMs} ms`));
            }, timeoutMs);
            waiters.add(check);
            check();
          });
        },
        close: () => new Promise<void>((r) => server.close(() => r())),
      });
    });
  });
}

function run(program: string, args: readonly string[], env?: Record<string, string>) {
  return new Promise<string>((resolve, reject) => {
    execFile(program, [...args], { env: { ...process.env, ...env } }, (error, stdout, stderr) => {
      const output = `${stdout}${stderr}`;
      if (error)
        reject(new Error(`${program} ${args.join(' ')} failed: ${output || error.message}`));
      else resolve(output);
    });
  });
}

export interface CupsOptions {
  /** Also listen for IPP on 127.0.0.1:ippPort, so another cupsd can forward to this one. */
  ippPort?: number;
}

export async function startCups(options: CupsOptions = {}): Promise<PrivateCups> {
  // Short: the socket path must fit in sockaddr_un.
  const dir = await mkdtemp('/tmp/svcups-');
  // cupsd runs backends as user lp, which must reach the spool folder.
  await chmod(dir, 0o755);
  for (const sub of ['spool', 'cache', 'state', 'tmp', 'log', 'client'])
    await mkdir(join(dir, sub));
  const server = join(dir, 'cups.sock');
  await writeFile(
    join(dir, 'cupsd.conf'),
    [
      'LogLevel warn',
      `Listen ${server}`,
      ...(options.ippPort ? [`Listen 127.0.0.1:${options.ippPort}`] : []),
      'Browsing Off',
      'WebInterface No',
      'DefaultAuthType None',
      '<Location />\n  Order allow,deny\n  Allow all\n</Location>',
      '<Policy default>',
      '  JobPrivateAccess all\n  JobPrivateValues none',
      '  SubscriptionPrivateAccess all\n  SubscriptionPrivateValues none',
      '  <Limit All>\n    Order deny,allow\n    Allow all\n  </Limit>',
      '</Policy>',
      '',
    ].join('\n'),
  );
  await writeFile(
    join(dir, 'cups-files.conf'),
    [
      `ServerRoot ${dir}`,
      `RequestRoot ${dir}/spool`,
      `CacheDir ${dir}/cache`,
      `StateDir ${dir}/state`,
      `TempDir ${dir}/tmp`,
      `ErrorLog ${dir}/log/error_log`,
      `AccessLog ${dir}/log/access_log`,
      `PageLog ${dir}/log/page_log`,
      '',
    ].join('\n'),
  );
  const client = join(dir, 'client');
  // libcups reads $HOME/.cups/lpoptions; keep the user's own out of the tests.
  const env = { CUPS_SERVER: server, CUPS_SERVERROOT: client, HOME: client };

  let console = '';
  const child: ChildProcess = spawn(
    '/usr/sbin/cupsd',
    ['-f', '-c', join(dir, 'cupsd.conf'), '-s', join(dir, 'cups-files.conf')],
    { stdio: ['ignore', 'pipe', 'pipe'] },
  );
  child.stdout?.on('data', (d: Buffer) => (console += d.toString()));
  child.stderr?.on('data', (d: Buffer) => (console += d.toString()));
  const log = async () =>
    (await readFile(join(dir, 'log', 'error_log'), 'utf8').catch(() => '')) + console;
  const stop = async () => {
    if (child.exitCode === null && child.signalCode === null) {
      const exited = new Promise((r) => child.once('exit', r));
      child.kill('SIGTERM');
      const timer = setTimeout(() => child.kill('SIGKILL'), 5000);
      await exited;
      clearTimeout(timer);
    }
    await rm(dir, { recursive: true, force: true });
  };

  const deadline = Date.now() + 20_000;
  for (;;) {
    if (child.exitCode !== null || child.signalCode !== null) {
      const text = await log();
      await stop();
      throw new Error(`cupsd exited (must run as root): ${text}`);
    }
    const ready = await run('lpstat', ['-h', server, '-r']).catch(() => '');
    if (ready.includes('scheduler is running')) break;
    if (Date.now() > deadline) {
      const text = await log();
      await stop();
      throw new Error(`cupsd did not answer in time: ${text}`);
    }
    await sleep(50);
  }

  const tool = (program: string, args: readonly string[]) =>
    run(program, ['-h', server, ...args], env);
  return {
    server,
    env,
    addRawQueue: async (name, port) => {
      await tool('lpadmin', ['-p', name, '-E', '-v', `socket://127.0.0.1:${port}`]);
    },
    tool,
    log,
    stop,
  };
}
