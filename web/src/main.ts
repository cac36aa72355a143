// The composition root: it reads as the designer's start-up order and holds nothing else.
import './style.css';
import { installAutomation } from './automation';
import { DRAFT_RESTORED_HINT, startDocument } from './editor/document-session';
import { installDocumentFiles } from './editor/document-files';
import { DocumentStore } from './editor/store';
import { resolveElements } from './page/elements';
import { showStartupFailure } from './page/fatal';
import { installPrint } from './print/install';
import { installSheetBackdrops, SHEET_IDS } from './page/sheets';
import { createStatusLine } from './page/status';
import { clearRenderCaches } from './render/caches';
import { bridgePresent, callService } from './service/client';
import { installPrinterControls } from './service/printer-ui';
import { createPrinterStatusClient } from './service/printer-status';
import { printerState } from './service/printers';
import { installLabelConfigButton } from './shell/label-config';
import { installStoreListener } from './shell/store-listener';
import { showDocumentStatus } from './shell/document-status';
import { hideSplashLater } from './shell/splash';
import { installTheme } from './shell/theme';

function start(): void {
  // 1. Every element, the store and the status line.
  const el = resolveElements(document);
  const store = new DocumentStore();
  const status = createStatusLine(el);
  const demo = new URLSearchParams(window.location.search).has('demo');

  // 2. Every control, then the stored theme.
  const queue = createPrinterStatusClient(callService, bridgePresent);
  const printers = installPrinterControls(el, status, callService, queue);
  const print = installPrint(el, store, {
    status,
    call: callService,
    printer: () => printerState,
    queue: {
      printerStatus: async (printer) => {
        const probe = await queue.printerStatus(printer);
        printers.showPrinterState(printer, probe);
        return probe;
      },
      cancelJobs: queue.cancelJobs,
      afterPrint: () => void printers.refreshPrinterState(),
    },
  });
  installDocumentFiles(el, store, { status, demo, beforeLoad: clearRenderCaches });
  installLabelConfigButton(el, store, status);
  installSheetBackdrops(SHEET_IDS.map((id) => el[id]));
  installTheme();

  // The one store listener, with the views the controls handed back.
  installStoreListener(store, {
    everyEmit: [(s) => showDocumentStatus(el, s.doc, s.dirty)],
    onStructureChange: [print.refreshPrintControls],
  });

  // 3. The start-up document: demo sample, restored draft, or a fresh one.
  const restored = startDocument(store, demo);

  // 4. First frame and panels.
  store.emit();
  printers.renderLocalServiceCard();

  // 5. Printer discovery; the draft hint waits for it so discovery's texts do not replace it.
  void printers.refreshPrinters(false).then(() => {
    if (restored) status.showHint(DRAFT_RESTORED_HINT);
  });

  // 6. The splash, once.
  hideSplashLater(el.splash);

  // 7. The automation hook.
  // print.openPreview is Ctrl/Meta+P for the editor's keyboard, once that is installed here.
  installAutomation(store, callService, print.automation);
}

try {
  start();
} catch (error) {
  showStartupFailure(error);
  throw error;
}
