// Text of an imported file: byte-order marks first, then strict UTF-8, then GBK.

function decoderFor(label: string, fatal = false): TextDecoder | undefined {
  try {
    return new TextDecoder(label, { fatal });
  } catch {
    // The runtime lacks this encoding.
    return undefined;
  }
}

export function decodeTextFile(input: ArrayBuffer | Uint8Array): string {
  const bytes = input instanceof Uint8Array ? input : new Uint8Array(input);
  if (bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf) {
    return new TextDecoder('utf-8', { ignoreBOM: true }).decode(bytes.subarray(3));
  }
  if (bytes[0] === 0xff && bytes[1] === 0xfe) {
    return new TextDecoder('utf-16le', { ignoreBOM: true }).decode(bytes.subarray(2));
  }
  if (bytes[0] === 0xfe && bytes[1] === 0xff) {
    const be = decoderFor('utf-16be');
    if (be) return be.decode(bytes.subarray(2));
    // Swap to little-endian where no big-endian decoder exists.
    const swapped = new Uint8Array(bytes.length - 2);
    for (let i = 2; i + 1 < bytes.length; i += 2) {
      swapped[i - 2] = bytes[i + 1];
      swapped[i - 1] = bytes[i];
    }
    return new TextDecoder('utf-16le', { ignoreBOM: true }).decode(swapped);
  }
  try {
    return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
  } catch {
    // Not UTF-8: Chinese spreadsheets saved as CSV are usually GBK.
  }
  const gbk = decoderFor('gbk');
  if (gbk) return gbk.decode(bytes);
  return new TextDecoder('utf-8').decode(bytes);
}
