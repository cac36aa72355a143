// The composition root: it reads as the designer's start-up order and holds nothing else.
import './style.css';
import { installAutomation } from './automation';
import { installDataPanel } from './data/data-panel';
import { DRAFT_RESTORED_HINT, startDocument } from './editor/document-session';
import { installDocumentFiles } from './editor/document-files';
import { installEditor } from './editor/install';
import { DocumentStore } from './editor/store';
import { resolveElements } from './page/elements';
import { showStartupFailure } from './page/fatal';
import { installPrint } from './print/install';
import { installSheetBackdrops, SHEET_IDS } from './page/sheets';
import { createStatusLine } from './page/status';
import { clearRenderCaches } from './render/caches';
import { bridgePresent, callService } from './service/client';
import { installInspector } from './inspector/panel';
import { installPrinterControls } from './service/printer-ui';
import { createPrinterStatusClient } from './service/printer-status';
import { printerState } from './service/printers';
import { installDownloadLink } from './shell/download-link';
import { installLabelConfigButton } from './shell/label-config';
import { installStoreListener } from './shell/store-listener';
import { createViewPace } from './shell/view-pace';
import { showDocumentStatus } from './shell/document-status';
import { hideSplashLater } from './shell/splash';
import { installHelpSheet, installSettingsSheet } from './shell/settings-sheet';
import { installTemplateSheet } from './shell/template-sheet';
import { installTheme } from './shell/theme';
import { installWindowButtons } from './shell/window-buttons';

function start(): void {
  // 1. Every element, the store and the status line.
  const el = resolveElements(document);
  const store = new DocumentStore();
  const status = createStatusLine(el);
  const demo = new URLSearchParams(window.location.search).has('demo');

  // 2. Every control, then the stored theme.
  const inspector = installInspector(el, store, { notify: (text) => status.showHint(text) });
  const dataPanel = installDataPanel(el, store, { status });
  const queue = createPrinterStatusClient(callService, bridgePresent);
  const printers = installPrinterControls(el, status, callService, queue);
  // The views follow a batch's records at a bounded rate; print says when a batch runs.
  const viewPace = createViewPace();
  const print = installPrint(el, store, {
    status,
    batchViews: viewPace,
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
  const editor = installEditor(el, store, {
    status,
    save: () => files.saveToFile(),
    openPreview: print.openPreview,
  });
  const files = installDocumentFiles(el, store, {
    status,
    demo,
    beforeLoad: clearRenderCaches,
    afterLoad: editor.afterLoad,
  });
  installLabelConfigButton(el, store, status);
  installDownloadLink(el);
  installTemplateSheet(el, store, {
    status,
    confirmDiscard: () => files.confirmDiscard(),
    loadDocument: (doc, dirty) => files.loadDocument(doc, dirty),
  });
  installSettingsSheet(el);
  installHelpSheet(el);
  installSheetBackdrops(SHEET_IDS.map((id) => el[id]));
  installTheme();
  installWindowButtons(el, { bridgePresent, call: callService, status });

  // The one store listener, with the views the controls handed back. The data panel follows
  // record changes too, which raise no revision, so it runs on every emit with a cheap check.
  installStoreListener(
    store,
    {
      everyEmit: [
        ...editor.everyEmit,
        (s) => showDocumentStatus(el, s.doc, s.dirty),
        dataPanel.follow,
      ],
      onStructureChange: [
        ...editor.onStructureChange,
        inspector.rebuild,
        print.refreshPrintControls,
      ],
    },
    viewPace,
  );

  // 3. The start-up document: demo sample, restored draft, or a fresh one.
  const restored = startDocument(store, demo);

  // 4. First frame and panels, the zoom fitted; pictures appear once decoded.
  store.emit();
  editor.afterLoad(store.doc);
  printers.renderLocalServiceCard();

  // 5. Printer discovery; the draft hint waits for it so discovery's texts do not replace it.
  void printers.refreshPrinters(false).then(() => {
    if (restored) status.showHint(DRAFT_RESTORED_HINT);
  });

  // 6. The splash, once.
  hideSplashLater(el.splash);

  // 7. The automation hook.
  installAutomation(store, callService, print.automation, editor.automation, {
    dataImported: dataPanel.settled,
  });
}

try {
  start();
} catch (error) {
  showStartupFailure(error);
  throw error;
}
