/// <reference types="node" />
import { spawn, type ChildProcess } from 'node:child_process';
import { existsSync } from 'node:fs';
import { chmod, copyFile, mkdir, mkdtemp, rm } from 'node:fs/promises';
import { connect, createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { serviceBinary } from './paths';

export interface RunningService {
  readonly port: number;
  readonly url: string; // "http://127.0.0.1:<port>/"
  output(): string; // everything the service wrote to stdout and stderr so far
  stop(): Promise<void>;
}

export interface ServiceOptions {
  binary?: string;
  // Serve this folder (--dist). Without it the service runs from a copy of the binary in an
  // empty temporary folder, where no dist folder can be found, so it serves its compiled-in
  // files. SORVENDALE_E2E_DIST sets a default folder, for trying a fresh web build without
  // rebuilding the service.
  dist?: string;
  args?: string[];
  // Added to the service's environment, e.g. CUPS_SERVER of a private cupsd (support/cups.ts).
  env?: Record<string, string>;
  startTimeoutMs?: number;
}

export function freePort(): Promise<number> {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.unref();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const address = server.address();
      const port = typeof address === 'object' && address ? address.port : 0;
      server.close(() => resolve(port));
    });
  });
}

function canConnect(port: number): Promise<boolean> {
  return new Promise((resolve) => {
    const socket = connect({ host: '127.0.0.1', port });
    socket.once('connect', () => {
      socket.destroy();
      resolve(true);
    });
    socket.once('error', () => resolve(false));
  });
}

const sleep = (ms: number) => new Promise((r) => setTimeout(r, ms));

function exited(child: ChildProcess): Promise<void> {
  if (child.exitCode !== null || child.signalCode !== null) return Promise.resolve();
  return new Promise((resolve) => child.once('exit', () => resolve()));
}

export async function startService(options: ServiceOptions = {}): Promise<RunningService> {
  const binary = options.binary ?? serviceBinary();
  if (!existsSync(binary)) {
    throw new Error(`service binary not found: ${binary} (build it or set SORVENDALE_BINARY)`);
  }
  const dist = options.dist ?? process.env.SORVENDALE_E2E_DIST;
  const port = await freePort();
  const args = ['--no-open', '--port', String(port), ...(options.args ?? [])];

  let program = binary;
  let cwd: string | undefined;
  let scratch: string | undefined;
  if (dist) {
    args.push('--dist', dist);
  } else {
    // The service looks for dist/ beside itself and up to three folders above, and in the
    // working directory; three empty levels keep every candidate inside the scratch folder.
    scratch = await mkdtemp(join(tmpdir(), 'sv-e2e-'));
    cwd = join(scratch, 'a', 'b', 'c');
    await mkdir(cwd, { recursive: true });
    program = join(cwd, 'sorvendale');
    await copyFile(binary, program);
    await chmod(program, 0o755);
  }

  const child = spawn(program, args, {
    cwd,
    env: { ...process.env, ...options.env },
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let log = '';
  child.stdout?.on('data', (d: Buffer) => (log += d.toString('utf8')));
  child.stderr?.on('data', (d: Buffer) => (log += d.toString('utf8')));
  let spawnError: Error | undefined;
  child.once('error', (e) => (spawnError = e));

  const stop = async () => {
    if (child.exitCode === null && child.signalCode === null) {
      child.kill('SIGTERM');
      const done = exited(child);
      const timer = setTimeout(() => child.kill('SIGKILL'), 5000);
      await done;
      clearTimeout(timer);
    }
    if (scratch) await rm(scratch, { recursive: true, force: true });
  };

  const deadline = Date.now() + (options.startTimeoutMs ?? 15_000);
  for (;;) {
    if (spawnError || child.exitCode !== null || child.signalCode !== null) {
      await stop();
      const why = spawnError?.message ?? `exit code ${child.exitCode ?? child.signalCode}`;
      throw new Error(`service did not start (${why}); output:\n${log}`);
    }
    if (await canConnect(port)) break;
    if (Date.now() > deadline) {
      await stop();
      throw new Error(`service did not listen on port ${port} in time; output:\n${log}`);
    }
    await sleep(50);
  }

  return { port, url: `http://127.0.0.1:${port}/`, output: () => log, stop };
}
