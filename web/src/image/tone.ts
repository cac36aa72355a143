// Tone chain for thermal and ribbon printing, applied per pixel in a fixed order. The working
// buffer holds one grey value per pixel, 0 = black, 255 = white.

export interface ToneSettings {
  brightness: number;
  contrast: number;
  blackPoint: number;
  whitePoint: number;
  gamma: number;
  shadowLift: number;
  inkSaving: number;
  invert: boolean;
}

const clamp = (v: number, lo: number, hi: number): number => (v < lo ? lo : v > hi ? hi : v);

/** Maps RGBA pixels (alpha ignored) through the tone chain into `out`, clamped to 0 … 255. */
export function toneMap(rgba: Uint8ClampedArray, out: Float32Array, s: ToneSettings): void {
  const contrast = s.contrast / 100;
  const lift = (s.brightness - 100) * 1.27;
  const lo = clamp(s.blackPoint, 0, 128);
  const hi = Math.max(lo + 1, Math.min(255, s.whitePoint));
  const span = hi - lo;
  const gamma = s.gamma;
  const applyGamma = gamma !== 1;
  const shadow = s.shadowLift * 0.55;
  const ink = s.inkSaving * 0.35;
  const invert = s.invert;
  const n = out.length;
  for (let i = 0, p = 0; i < n; i++, p += 4) {
    let l = 0.299 * rgba[p] + 0.587 * rgba[p + 1] + 0.114 * rgba[p + 2];
    l = (l - 128) * contrast + 128 + lift;
    l = ((l - lo) / span) * 255;
    if (applyGamma) l = l <= 0 ? 0 : l >= 255 ? 255 : 255 * Math.pow(l / 255, gamma);
    const dark = l <= 0 ? 1 : l >= 255 ? 0 : 1 - l / 255;
    if (shadow !== 0) l += shadow * dark * dark;
    if (ink !== 0) l += ink * Math.pow(dark, 1.2);
    if (invert) l = 255 - l;
    out[i] = l < 0 ? 0 : l > 255 ? 255 : l;
  }
}
