// Test pages hold only the part of the designer a test needs; this resolves just those ids,
// with the same kind checks start-up applies to the whole page.
import { resolveElements, type ElementId, type Elements } from '../../src/page/elements';

export function pickElements<K extends ElementId>(...ids: K[]): Pick<Elements, K> {
  return resolveElements(document, ids);
}
