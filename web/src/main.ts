import './style.css';
import { installTheme } from './shell/theme';
import { hideSplashLater } from './shell/splash';
import { installAutomation } from './shell/automation';
import { showHint } from './shell/status';
import { store } from './editor/store';
import { DRAFT_RESTORED_HINT, startDocument } from './editor/document-session';
import { installDocumentFiles } from './editor/document-files';
import {
  installPrinterControls,
  refreshPrinters,
  renderLocalServiceCard,
} from './service/printer-ui';
import { clearRenderCaches } from './render/caches';

// Start-up order matters: controls are wired before the first document is shown, and the
// draft hint waits for printer discovery so its own status text does not overwrite it.
const demo = new URLSearchParams(window.location.search).has('demo');
installPrinterControls();
installDocumentFiles(store, demo, { beforeLoad: clearRenderCaches });
installTheme();
const restored = startDocument(store, demo);
store.emit();
renderLocalServiceCard();
void refreshPrinters(false).then(() => {
  if (restored) showHint(DRAFT_RESTORED_HINT);
});
const splash = document.getElementById('splash');
if (splash) hideSplashLater(splash);
installAutomation();
