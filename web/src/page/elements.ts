// Every element id the designer's script uses, with the kind of element it must be. The page is
// looked up once at start-up; a missing id stops start-up with one clear message instead of a
// silent `?.` deep inside a handler. Browser tests read the same list.

/** The element kinds the script relies on; `element` is any HTML element. */
type KindMap = {
  element: HTMLElement;
  button: HTMLButtonElement;
  anchor: HTMLAnchorElement;
  input: HTMLInputElement;
  select: HTMLSelectElement;
  canvas: HTMLCanvasElement;
  table: HTMLTableElement;
};
type Kind = keyof KindMap;

// Tag names, so the table can be read under plain node (no DOM constructors at load time).
const TAGS: Record<Exclude<Kind, 'element'>, string> = {
  button: 'BUTTON',
  anchor: 'A',
  input: 'INPUT',
  select: 'SELECT',
  canvas: 'CANVAS',
  table: 'TABLE',
};

export const ELEMENT_KINDS = {
  // Splash and title bar
  splash: 'element',
  'boot-bar': 'element',
  titlebar: 'element',
  'doc-name': 'element',
  'status-dot': 'element',
  'status-title': 'element',
  'settings-button': 'button',
  'help-button': 'button',
  'window-minimize': 'button',
  'window-maximize': 'button',
  'window-close': 'button',
  // Left panel: objects, documents, layers, data
  'app-body': 'element',
  'btn-new': 'button',
  'btn-open': 'button',
  'btn-save': 'button',
  'btn-templates': 'button',
  'btn-label-config': 'button',
  'btn-download-server-side': 'anchor',
  'layer-list': 'element',
  'data-info': 'element',
  'data-nav': 'element',
  'btn-prev-record': 'button',
  'record-label': 'element',
  'btn-next-record': 'button',
  'field-list': 'element',
  'btn-import-data': 'button',
  'btn-data-table': 'button',
  'btn-clear-data': 'button',
  'data-input': 'input',
  'data-encoding-row': 'element',
  'data-encoding': 'select',
  // Canvas column
  'btn-undo': 'button',
  'btn-redo': 'button',
  'btn-check': 'button',
  'btn-zoom-out': 'button',
  'zoom-label': 'element',
  'btn-zoom-in': 'button',
  'btn-fit': 'button',
  'btn-rotate': 'button',
  'canvas-host': 'element',
  'editor-canvas': 'canvas',
  // Right panel: properties and print card
  props: 'element',
  'printer-dropdown': 'element',
  'printer-trigger': 'button',
  'printer-value': 'element',
  'printer-menu': 'element',
  'btn-refresh-printer': 'button',
  'printer-state': 'element',
  'printer-hint': 'element',
  'printer-offset': 'element',
  'btn-calibrate': 'button',
  'local-service-card': 'element',
  'local-service-note': 'element',
  'btn-download-server': 'anchor',
  'btn-preview': 'button',
  'btn-print': 'button',
  'btn-browser-print': 'button',
  'btn-batch': 'button',
  // Status bar and hidden inputs
  statusbar: 'element',
  'status-doc': 'element',
  'status-light': 'element',
  'doc-input': 'input',
  'image-input': 'input',
  // Sheets
  'settings-sheet': 'element',
  'settings-close': 'button',
  'clear-history': 'button',
  'history-list': 'element',
  'help-sheet': 'element',
  'help-close': 'button',
  'preview-sheet': 'element',
  'preview-close': 'button',
  'preview-print': 'button',
  'preview-info': 'element',
  'preview-canvas': 'canvas',
  'preview-note': 'element',
  'print-sheet': 'element',
  'print-close': 'button',
  'print-summary': 'element',
  'print-form': 'element',
  'print-copy-hint': 'element',
  'print-cancel': 'button',
  'print-confirm': 'button',
  'calibration-sheet': 'element',
  'calibration-close': 'button',
  'calibration-info': 'element',
  'calibration-canvas': 'canvas',
  'calibration-x': 'input',
  'calibration-y': 'input',
  'calibration-hint': 'element',
  'calibration-media': 'button',
  'calibration-print': 'button',
  'calibration-save': 'button',
  'template-sheet': 'element',
  'template-save': 'button',
  'template-close': 'button',
  'template-list': 'element',
  'data-sheet': 'element',
  'data-close': 'button',
  'data-search': 'input',
  'data-table-count': 'element',
  'data-table': 'table',
  'check-sheet': 'element',
  'check-close': 'button',
  'check-summary': 'element',
  'check-list': 'element',
} as const satisfies Record<string, Kind>;

export type ElementId = keyof typeof ELEMENT_KINDS;
export type Elements = { readonly [K in ElementId]: KindMap[(typeof ELEMENT_KINDS)[K]] };
export const ELEMENT_IDS = Object.keys(ELEMENT_KINDS) as ElementId[];

/**
 * Buttons that carry their action in a data attribute instead of an id: the object kinds, the
 * alignments, the layer moves and the theme choices. Looked up once, like the ids.
 */
export const ACTION_ATTRIBUTES = {
  add: 'data-add',
  align: 'data-align',
  layer: 'data-layer',
  themeChoice: 'data-theme-choice',
} as const;
export type ActionButtons = {
  readonly [K in keyof typeof ACTION_ATTRIBUTES]: readonly HTMLButtonElement[];
};
/** The whole page as start-up resolves it: every id and the action buttons. */
export type PageElements = Elements & { readonly actions: ActionButtons };

export function resolveActions(root: ParentNode): ActionButtons {
  const find = (attribute: string) => [
    ...root.querySelectorAll<HTMLButtonElement>(`button[${attribute}]`),
  ];
  return {
    add: find(ACTION_ATTRIBUTES.add),
    align: find(ACTION_ATTRIBUTES.align),
    layer: find(ACTION_ATTRIBUTES.layer),
    themeChoice: find(ACTION_ATTRIBUTES.themeChoice),
  };
}

/** Start-up's one look at the page. */
export const resolvePage = (root: Document): PageElements => ({
  ...resolveElements(root),
  actions: resolveActions(root),
});

export class MissingElementError extends Error {
  constructor(readonly id: string) {
    super(`缺少元素：${id}`);
    this.name = 'MissingElementError';
  }
}

/** Finds every listed element (or just `ids`); an absent id, or one of the wrong kind, throws. */
export function resolveElements(root: Pick<Document, 'getElementById'>): Elements;
export function resolveElements<K extends ElementId>(
  root: Pick<Document, 'getElementById'>,
  ids: readonly K[],
): Pick<Elements, K>;
export function resolveElements(
  root: Pick<Document, 'getElementById'>,
  ids: readonly ElementId[] = ELEMENT_IDS,
): Partial<Elements> {
  const found: Partial<Record<ElementId, HTMLElement>> = {};
  for (const id of ids) {
    const element = root.getElementById(id);
    const kind: Kind = ELEMENT_KINDS[id];
    if (!element || (kind !== 'element' && element.tagName !== TAGS[kind])) {
      throw new MissingElementError(id);
    }
    found[id] = element;
  }
  return found as Partial<Elements>;
}
