// A press on empty space in the main area clears the selection and shows the label's settings.

import type { Elements } from '../page/elements';
import type { DocumentStore } from '../store/document-store';

/** Controls and areas that handle their own presses. */
const OWN_PRESSES = [
  '.editor-canvas',
  '.help-sheet',
  '.print-card',
  '.canvas-toolbar',
  'button',
  'a',
  'input',
  'select',
  'textarea',
  'label',
  '[role="button"]',
  '.layer-row',
].join(',');

/** The canvas area, the side panels and the property card; presses elsewhere are not ours. */
const EMPTY_AREAS = '.canvas-column, .side-panel, .props-card';

export function isEmptySpacePress(target: Element, appBody: Element): boolean {
  if (target.closest(OWN_PRESSES)) return false;
  if (target === appBody) return true;
  const area = target.closest(EMPTY_AREAS);
  return !!area && appBody.contains(area);
}

export function installEmptyClick(
  el: Pick<Elements, 'app-body' | 'props'>,
  store: DocumentStore,
): void {
  el['app-body'].addEventListener('pointerdown', (event) => {
    if (event.button !== 0 || !(event.target instanceof Element)) return;
    if (store.selection.length === 0 || !isEmptySpacePress(event.target, el['app-body'])) return;
    store.select([]);
    el.props.scrollTop = 0;
  });
}
