// Bringing a picture file into a document as a data URL, re-encoding it as JPEG when it is too
// large to embed.

export const MAX_STORED_FILE_BYTES = 10_485_760;
export const MAX_EMBEDDED_CHARS = 4_194_304;
export const MAX_REENCODE_SIDE = 3200;
const JPEG_QUALITIES = [0.9, 0.8, 0.7, 0.6, 0.5];
const SHRINK_PER_ROUND = 0.72;
const MAX_ROUNDS = 5;

export interface ImageImport {
  dataUrl: string;
  width: number;
  height: number;
  originalBytes: number;
  embeddedChars: number;
  compressed: boolean;
}

/** Encodes a surface as a JPEG data URL at a quality; replaceable so the ladder can be observed. */
export type JpegEncoder = (canvas: HTMLCanvasElement, quality: number) => string;

const canvasJpeg: JpegEncoder = (canvas, quality) => canvas.toDataURL('image/jpeg', quality);

function readAsDataUrl(file: Blob): Promise<string> {
  return new Promise((resolve, reject) => {
    const reader = new FileReader();
    reader.onload = () => {
      if (typeof reader.result === 'string') resolve(reader.result);
      else reject(new Error('图片读取失败，请换一张图片'));
    };
    reader.onerror = () => reject(new Error('图片读取失败，请换一张图片'));
    reader.readAsDataURL(file);
  });
}

export async function decodeDataUrl(dataUrl: string): Promise<HTMLImageElement> {
  const img = new Image();
  img.src = dataUrl;
  await img.decode();
  return img;
}

/**
 * The re-encoding ladder: up to five rounds, each at the longer side scaled by the round's factor
 * and trying the qualities from 0.9 down; the first encoding within the limit wins, otherwise the
 * last (smallest, lowest quality) one is used anyway.
 */
export function reencodePicture(
  source: CanvasImageSource,
  width: number,
  height: number,
  encode: JpegEncoder = canvasJpeg,
): { dataUrl: string; width: number; height: number } {
  const longer = Math.max(width, height);
  let f = Math.min(MAX_REENCODE_SIDE, longer) / Math.max(1, longer);
  let last = { dataUrl: '', width: 0, height: 0 };
  for (let round = 0; round < MAX_ROUNDS; round++) {
    const w = Math.max(1, Math.round(width * f));
    const h = Math.max(1, Math.round(height * f));
    const canvas = document.createElement('canvas');
    canvas.width = w;
    canvas.height = h;
    const ctx = canvas.getContext('2d');
    if (!ctx) throw new Error('浏览器不支持图片压缩');
    ctx.fillStyle = '#fff';
    ctx.fillRect(0, 0, w, h);
    ctx.imageSmoothingEnabled = true;
    ctx.imageSmoothingQuality = 'high';
    ctx.drawImage(source, 0, 0, w, h);
    for (const quality of JPEG_QUALITIES) {
      const dataUrl = encode(canvas, quality);
      last = { dataUrl, width: w, height: h };
      if (dataUrl.length <= MAX_EMBEDDED_CHARS) return last;
    }
    f *= SHRINK_PER_ROUND;
  }
  return last;
}

export async function importImageFile(file: File, encode?: JpegEncoder): Promise<ImageImport> {
  if (!file.type.startsWith('image/')) throw new Error('请选择 PNG / JPEG / BMP / WebP 图片');
  const original = await readAsDataUrl(file);
  let img: HTMLImageElement;
  try {
    img = await decodeDataUrl(original);
  } catch {
    throw new Error('图片解码失败，请换一张 PNG / JPEG / WebP 图片');
  }
  const width = img.naturalWidth;
  const height = img.naturalHeight;
  if (file.size <= MAX_STORED_FILE_BYTES && original.length <= MAX_EMBEDDED_CHARS) {
    return {
      dataUrl: original,
      width,
      height,
      originalBytes: file.size,
      embeddedChars: original.length,
      compressed: false,
    };
  }
  const out = reencodePicture(img, width, height, encode);
  return {
    dataUrl: out.dataUrl,
    width: out.width,
    height: out.height,
    originalBytes: file.size,
    embeddedChars: out.dataUrl.length,
    compressed: true,
  };
}

/** A short size text: "1.5 MB", "2 KB", "512 B". */
export function formatByteSize(n: number): string {
  if (n >= 1_048_576) return `${(n / 1_048_576).toFixed(1)} MB`;
  if (n >= 1024) return `${Math.round(n / 1024)} KB`;
  return `${n} B`;
}
