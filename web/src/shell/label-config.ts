// "标签配置": with nothing selected the property card shows the label's own settings.
import type { DocumentStore } from '../store/document-store';
import type { Elements } from '../page/elements';
import type { StatusLine } from '../page/status';

export const LABEL_CONFIG_HINT = '标签配置：可设置标签宽高、列数、列间距和行间距';

export function installLabelConfigButton(
  el: Pick<Elements, 'btn-label-config' | 'props'>,
  store: DocumentStore,
  status: StatusLine,
): void {
  el['btn-label-config'].addEventListener('click', () => {
    store.select([]);
    el.props.scrollTop = 0;
    status.showHint(LABEL_CONFIG_HINT);
  });
}
