// A picture's rows: tone, black-and-white processing, fit, and the presets.

import { defaultOwnFields } from '../document/factory';
import { IMAGE_FIELDS } from '../document/field-table';
import type { DitherMode, ImageFit, ImageObject } from '../document/model';
import { num, pick, toggle } from './row-builders';
import type { Row, RowContext } from './row-types';
import { applyDitherMode, shownDitherMode } from './rules';

const DITHER_MODES: { value: DitherMode; label: string }[] = [
  { value: 'threshold', label: '纯黑白（阈值）' },
  { value: 'floyd', label: '误差扩散（保留细节）' },
  { value: 'ordered', label: '网点（印刷感）' },
  { value: 'stochastic', label: '随机抖动（照片）' },
];

export const IMAGE_HINT =
  '暗部发黑时：把 Gamma 调到 0.6～0.8、暗部提升 20～40，并用误差扩散/随机抖动；碳带暗部补偿可进一步减轻点增益。照片必要时把打印浓度从 9 降到 7～8。';

/** The picture presets: each sets exactly these fields as one undo step. */
export const IMAGE_PRESETS: readonly {
  label: string;
  title?: string;
  apply: (o: ImageObject, ctx: RowContext) => void;
}[] = [
  {
    label: '黑白增强',
    title: '提高对比度并增强黑白分界，适合线稿和文字',
    apply: (o) =>
      Object.assign(o, {
        brightness: 105,
        contrast: 165,
        threshold: 160,
        ditherMode: 'floyd',
        dither: true,
        invert: false,
        denoise: true,
      }),
  },
  {
    label: '碳带暗部',
    title: '提亮暗部、增强局部纹理并补偿碳带点增益，适合深色照片',
    apply: (o) =>
      Object.assign(o, {
        brightness: 100,
        contrast: 105,
        gamma: 0.55,
        shadowLift: 55,
        localContrast: 30,
        inkSaving: 25,
        threshold: 120,
        ditherMode: 'floyd',
        dither: true,
        invert: false,
        denoise: true,
      }),
  },
  {
    label: '恢复默认',
    // Every picture setting, but never the picture itself nor its turn (the box follows it).
    apply: (o) =>
      Object.assign(o, { ...defaultOwnFields('image'), src: o.src, rotation: o.rotation }),
  },
  {
    label: '铺满标签',
    title: '把图片扩展到整个标签，便于制作背景图',
    apply: (o, ctx) => Object.assign(o, { x: 0, y: 0, w: ctx.pageW, h: ctx.pageH, fit: 'cover' }),
  },
];

export const IMAGE_ROWS: Row<ImageObject>[] = [
  num('brightness', '亮度', IMAGE_FIELDS.brightness),
  num('contrast', '对比度', IMAGE_FIELDS.contrast),
  num('shadowLift', '暗部提升', IMAGE_FIELDS.shadowLift),
  num('gamma', 'Gamma', IMAGE_FIELDS.gamma),
  num('localContrast', '局部对比', IMAGE_FIELDS.localContrast),
  num('inkSaving', '碳带补偿', IMAGE_FIELDS.inkSaving),
  num('blackPoint', '黑场', IMAGE_FIELDS.blackPoint),
  num('whitePoint', '白场', IMAGE_FIELDS.whitePoint),
  {
    kind: 'choice',
    caption: '黑白处理',
    options: () => DITHER_MODES,
    get: (o) => shownDitherMode(o),
    set: (o, v) => applyDitherMode(o, v as DitherMode),
  },
  // Stored whole, but kept as typed while the panel edits it.
  num('threshold', '阈值', IMAGE_FIELDS.threshold, 'none'),
  toggle('invert', '反色'),
  toggle('denoise', '去噪'),
  pick<ImageObject, ImageFit>('choice', 'fit', '填充方式', [
    { value: 'stretch', label: '拉伸到框' },
    { value: 'cover', label: '等比裁切铺满' },
  ]),
  { kind: 'presets', caption: '调整', presets: IMAGE_PRESETS },
  { kind: 'hint', text: IMAGE_HINT },
  { kind: 'action', caption: '图片', label: '换一张图', action: 'replace-image' },
];
