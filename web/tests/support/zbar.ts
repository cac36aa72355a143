// Decoding packed print rasters with Debian's zbarimg, on the test runner's side: the browser
// sends the rasters, this writes each as a PBM file and reads them all with one zbarimg process.
import { execFile } from 'node:child_process';
import { mkdtemp, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export interface PackedRaster {
  width: number;
  height: number;
  /** Base64 of the packed raster: (width + 7) / 8 bytes per line, 1 = white. */
  base64: string;
}

/** PBM (P4) has the same line layout as the print raster, with 1 meaning black. */
function toPbm(raster: PackedRaster): Buffer {
  const bits = Buffer.from(raster.base64, 'base64');
  for (let i = 0; i < bits.length; i++) bits[i] = ~bits[i] & 0xff;
  return Buffer.concat([Buffer.from(`P4\n${raster.width} ${raster.height}\n`, 'ascii'), bits]);
}

// UPC-A and UPC-E are reported as themselves, not widened to EAN-13.
const ZBAR_ARGS = ['-q', '--nodbus', '-Supca.enable', '-Supce.enable'];

function unescapeXml(text: string): string {
  return text
    .replace(/&lt;/g, '<')
    .replace(/&gt;/g, '>')
    .replace(/&quot;/g, '"')
    .replace(/&apos;/g, "'")
    .replace(/&amp;/g, '&');
}

/**
 * The decoded texts of each source in zbarimg's XML report, by file name. Texts that zbar could
 * only give as Base64 come back as undefined: its XML charset conversion mangles UTF-8 there.
 */
function parseZbarXml(xml: string): Map<string, (string | undefined)[]> {
  const found = new Map<string, (string | undefined)[]>();
  for (const source of xml.matchAll(/<source href='([^']*)'>([\s\S]*?)<\/source>/g)) {
    const name = source[1].split('/').pop() ?? source[1];
    const texts: (string | undefined)[] = [];
    for (const data of source[2].matchAll(/<data( format='base64'[^>]*)?>([\s\S]*?)<\/data>/g)) {
      if (data[1]) texts.push(undefined);
      else if (data[2].startsWith('<![CDATA[')) texts.push(data[2].slice(9, -3));
      else texts.push(unescapeXml(data[2]));
    }
    found.set(name, texts);
  }
  return found;
}

function zbarimg(dir: string, args: string[]): Promise<string> {
  return new Promise((resolve, reject) => {
    execFile(
      'zbarimg',
      [...ZBAR_ARGS, ...args],
      { cwd: dir, maxBuffer: 64 * 1024 * 1024, encoding: 'utf8' },
      // zbarimg exits with 4 when some image held no symbol: that is a result, not a failure.
      (error, stdout) => {
        if (error?.code === 'ENOENT') {
          reject(new Error('zbarimg is missing: scripts/install-test-deps.sh installs zbar-tools'));
        } else if (error && error.code !== 4) reject(error);
        else resolve(stdout);
      },
    );
  });
}

/** What zbarimg reads from each raster: its decoded texts, in the order given. */
export async function decodeRasters(rasters: PackedRaster[]): Promise<string[][]> {
  const dir = await mkdtemp(join(tmpdir(), 'sorvendale-zbar-'));
  try {
    const names = rasters.map((_, i) => `r${String(i).padStart(4, '0')}.pbm`);
    await Promise.all(rasters.map((r, i) => writeFile(join(dir, names[i]), toPbm(r))));
    const found = parseZbarXml(await zbarimg(dir, ['--xml', ...names]));
    // A second run, over only the files with mangled texts, reads their bytes unconverted. The
    // test data hold no line feeds, so each line is one symbol, in file order.
    const mangled = names.filter((n) => found.get(n)?.includes(undefined));
    if (mangled.length > 0) {
      const lines = (await zbarimg(dir, ['--raw', ...mangled])).split('\n');
      for (const n of mangled)
        found.set(
          n,
          found.get(n)!.map(() => lines.shift() ?? ''),
        );
    }
    return names.map((n) => (found.get(n) ?? []) as string[]);
  } finally {
    // Set SORVENDALE_ZBAR_KEEP to look at the rasters afterwards.
    if (process.env.SORVENDALE_ZBAR_KEEP) console.log(`rasters kept in ${dir}`);
    else await rm(dir, { recursive: true, force: true });
  }
}
