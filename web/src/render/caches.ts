import { clearProcessedImages } from '../image/cache';
import { clearBarcodeCache } from './barcode-bitmap';
import { resetAutoSize } from './barcode-size';
import { clearImageSources } from './sources';

/**
 * Empties the symbol, loaded-image, failed-image and processed-image caches. Called whenever the
 * working document is replaced; the automatic barcode sizing measures afresh after it as well,
 * since a new document may repeat the old one's barcodes with stale boxes.
 */
export function clearRenderCaches(): void {
  clearBarcodeCache();
  clearImageSources();
  clearProcessedImages();
  resetAutoSize();
}
