// The composition root: it reads as the designer's start-up order and holds nothing else.
// Stylesheets in cascade order: tokens and page-wide rules first, then each area's own.
import './page/tokens.css';
import './page/base.css';
import './page/controls.css';
import './page/sheets.css';
import './shell/splash.css';
import './shell/shell.css';
import './shell/template-library.css';
import './editor/editor.css';
import './data/data.css';
import './inspector/panel.css';
import './service/service.css';
import './print/print.css';
import { installAutomation } from './automation';
import { installDataPanel } from './data/data-panel';
import { recordStorage } from './document/database';
import { defaultStorage } from './document/storage';
import { DRAFT_RESTORED_HINT, startDocument } from './editor/document-session';
import { installDocumentFiles } from './editor/document-files';
import { installEditor } from './editor/install';
import { DocumentStore } from './store/document-store';
import { resolvePage } from './page/elements';
import { showStartupFailure } from './page/fatal';
import { installPrint, offerCutOffBatch } from './print/install';
import { installSheetBackdrops, SHEET_IDS } from './page/sheets';
import { createStatusLine, pacedStatusLine } from './page/status';
import { clearRenderCaches } from './render/caches';
import { bridgePresent, callService } from './service/client';
import { installInspector } from './inspector/panel';
import { installPrinterControls } from './service/printer-ui';
import { createPrinterStatusClient } from './service/printer-status';
import { createPrinterState } from './service/printers';
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
  // 1. Every element, the store and the status line. The views follow a batch's records at a
  // bounded rate, and the status line's per-row texts with them; print says when a batch runs.
  const el = resolvePage(document);
  const store = new DocumentStore();
  const viewPace = createViewPace();
  const status = pacedStatusLine(createStatusLine(el), viewPace);
  const demo = new URLSearchParams(window.location.search).has('demo');
  // The draft, templates and history: IndexedDB, opened (and the old keys moved in) meanwhile.
  const records = recordStorage(defaultStorage()).then((r) => r.backend);

  // 2. Every control, then the stored theme.
  const inspector = installInspector(el, store, {
    showHint: (text, tone) => status.showHint(text, tone),
    notify: (text) => status.showHint(text),
  });
  const dataPanel = installDataPanel(el, store, { status });
  const queue = createPrinterStatusClient(callService, bridgePresent);
  const printerState = createPrinterState();
  const printers = installPrinterControls(el, status, printerState, callService, queue);
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
    records,
    batchMoved: (position) =>
      files.keeper?.batchMoved(position, {
        doc: store.doc,
        dataset: store.dataset,
        dirty: store.dirty,
      }),
  });
  printers.onPrinterChange(print.refreshPrinterOffset);
  const editor = installEditor(el, store, {
    status,
    save: () => files.saveToFile(),
    openPreview: print.openPreview,
    focusData: inspector.focusData,
  });
  const files = installDocumentFiles(el, store, {
    status,
    demo,
    beforeLoad: clearRenderCaches,
    afterLoad: (doc) => {
      editor.afterLoad(doc);
      // A cut-off batch continues the document it printed; another one drops the offer.
      status.setLastingHint?.('batch', undefined);
    },
    records,
    printing: () => print.printing(),
  });
  installLabelConfigButton(el, store, status);
  installDownloadLink(el);
  installTemplateSheet(el, store, {
    status,
    confirmDiscard: () => files.confirmDiscard(),
    loadDocument: (doc, dirty) => files.loadDocument(doc, dirty),
    records,
  });
  installSettingsSheet(el, records, {
    ...print.history,
    openLabel: async (record) => {
      const snapshot = await print.history.snapshot(record);
      if (!snapshot || !files.confirmDiscard()) return;
      // A copy to edit: the history keeps its own.
      files.loadDocument(snapshot.doc, true);
      store.setDataset(snapshot.dataset);
      store.emit();
    },
    printer: () => printerState.selectedPrinter,
    confirm: (message) => window.confirm(message),
    prompt: (message, value) => window.prompt(message, value),
  });
  installHelpSheet(el);
  installSheetBackdrops(SHEET_IDS.map((id) => el[id]));
  installTheme(el.actions.themeChoice);
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

  // 3. The start-up document: demo sample, or a fresh one until the stored draft is read.
  const restored = startDocument(store, demo, records);

  // 4. First frame and panels, the zoom fitted; pictures appear once decoded. A restored draft
  // is drawn again when it arrives; being the stored draft already, it is not written back.
  store.emit();
  editor.afterLoad(store.doc);
  printers.renderLocalServiceCard();
  const settled = restored.then((draft) => {
    if (!draft) return undefined;
    store.emit();
    files.cancelAutosave();
    editor.afterLoad(store.doc);
    return draft;
  });

  // 5. Printer discovery; the draft hint waits for it so discovery's texts do not replace it.
  void Promise.all([printers.refreshPrinters(false), settled]).then(([, draft]) => {
    if (draft) status.showHint(DRAFT_RESTORED_HINT);
    if (draft?.batch)
      offerCutOffBatch(status, draft.batch, {
        continueBatch: print.continueBatch,
        forget: () => files.keeper?.forgetBatch(),
        printerChosen: () => printerState.selectedPrinter !== '',
      });
  });

  // 6. The splash, once.
  hideSplashLater(el.splash);

  // 7. The automation hook, once the start-up document is in place.
  void settled.then(
    () =>
      installAutomation(store, callService, print.automation, editor.automation, {
        dataImported: dataPanel.settled,
      }),
    (error: unknown) => showStartupFailure(error),
  );
}

try {
  start();
} catch (error) {
  showStartupFailure(error);
  throw error;
}
