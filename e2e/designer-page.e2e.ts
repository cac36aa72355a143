/// <reference types="node" />
// The designer page as the service binary serves it: static layout and texts, fonts,
// palettes, the window-size rules, and a screenshot for a human to look at.
import { join } from 'node:path';
import type { Browser, Page } from 'playwright-core';
import { afterAll, beforeAll, describe, expect, test } from 'vitest';
import { collectPageErrors, launchChromium } from './support/chromium';
import { testOutputDir } from './support/paths';
import { designerUrl } from './support/print-setup';
import { startService, type RunningService } from './support/service';
import { ELEMENT_IDS } from '../web/src/page/elements';
import { SHEET_IDS } from '../web/src/page/sheets';

const ids: readonly string[] = ELEMENT_IDS;

const sheets = SHEET_IDS;

// Visible text of an element with the .btn-icon part split off, whitespace collapsed.
const fixedTexts: Record<string, string> = {
  'doc-name': '未命名标签',
  'status-title': '就绪',
  'settings-button': '设置',
  'help-button': '帮助',
  'btn-new': '＋|新建',
  'btn-open': '↥|打开',
  'btn-save': '⤓|保存',
  'btn-templates': '▦|模板库 · 快速开始',
  'btn-label-config': '⚙|标签配置 · 列数/间距',
  'btn-download-server-side': '⬇|下载本地服务 EXE',
  'btn-import-data': '⇪|导入 CSV / Excel',
  'btn-clear-data': '清除',
  'btn-prev-record': '‹',
  'btn-next-record': '›',
  'data-info': '未导入数据',
  'btn-undo': '↶',
  'btn-redo': '↷',
  'btn-check': '检查',
  'btn-zoom-out': '−',
  'zoom-label': '100%',
  'btn-zoom-in': '+',
  'btn-fit': '适应',
  'btn-refresh-printer': '↻',
  'btn-download-server': '下载 EXE',
  'local-service-note': '免安装单文件，下载后双击即可原生直打',
  'btn-preview': '打印预览（1bpp）',
  'btn-print': '打印',
  'btn-browser-print': '浏览器打印（无需本地服务）',
  'btn-batch': '批量打印全部记录',
  'status-doc': 'v0.3.0 · Tessaloom',
  'status-light': '就绪',
  'clear-history': '清空',
  'settings-close': '关闭',
  'help-close': '知道了',
  'preview-close': '关闭',
  'preview-print': '直接打印',
  'print-close': '关闭',
  'print-cancel': '取消',
  'print-confirm': '开始打印',
  'template-save': '当前文档存为模板',
  'template-close': '关闭',
  'data-close': '关闭',
  'data-table-count': '未导入数据',
  'check-close': '关闭',
};

const titles: Record<string, string> = {
  'window-minimize': '最小化',
  'window-maximize': '最大化',
  'window-close': '关闭',
  'btn-download-server-side': '下载 Windows 便携版本地打印服务（免安装单文件）',
  'btn-prev-record': '上一条',
  'btn-next-record': '下一条',
  'btn-undo': '撤销 Ctrl+Z',
  'btn-redo': '重做 Ctrl+Y',
  'btn-check': '检查文档',
  'btn-refresh-printer': '刷新打印机',
  'btn-download-server': '下载 Windows 便携版本地打印服务',
  'btn-print': '打开打印设置',
  'btn-browser-print': '使用浏览器打印对话框，需要系统已安装打印机驱动',
};

const toolbar = [
  ['align', 'left', '⇤', '左对齐'],
  ['align', 'hcenter', '↔', '水平居中'],
  ['align', 'right', '⇥', '右对齐'],
  ['align', 'top', '⇡', '顶对齐'],
  ['align', 'vcenter', '↕', '垂直居中'],
  ['align', 'bottom', '⇣', '底对齐'],
  ['layer', 'top', '⤒', '置顶'],
  ['layer', 'up', '↑', '上移'],
  ['layer', 'down', '↓', '下移'],
  ['layer', 'bottom', '⤓', '置底'],
];

const helpParagraphs = [
  'Ctrl+Z / Ctrl+Y 撤销重做 · Delete 删除 · Ctrl+D 复制 · Ctrl+A 全选 · Ctrl+P 打印预览 · Ctrl+R 旋转 90° · 方向键微调（Shift 加速）',
  'Ctrl+滚轮 缩放画布 · 拖动对象移动 · 拖八个手柄缩放 · 拖空白处框选，Ctrl/Shift 点击多选 · Ctrl+V 可直接粘贴剪贴板里的图片。单击画布外空白区域或按 Esc 可取消选中，回到标签配置。',
  '拖动对象靠近页边、页面中线或其他对象边缘/中线时，会出现粉色辅助线并自动吸附；按住 Alt 可临时关闭。',
  '数据绑定：{{字段}}；序号 {{__index__}} / {{__rows__}}；日期 {{date:yyyy-MM-dd}} 或 {{date+7:yyyy-MM-dd}}；流水号 {{serial:1001:1:4}}。',
  '条码/二维码：在属性面板的“绑定字段”里选择表格列，批量打印时会按记录顺序自动换值，其他版式不变。',
  '打印设置：可设置份数、浓度、速度；可切换单列/双列/多列布局，多份数据可选“每份相同 / 按数据表顺延 / 流水号递增”，让每份条码或流水号自动变化。单数末行可设左列/右列对齐，X/Y 偏移由打印机移动打印原点，负偏移不会裁掉超出标签框的图像。QX530 会自动扫描定位标签，不需要撕纸定位。标签倒着出纸时，把打印方向设为“旋转 180°”。',
  '纯网站：static 托管 dist 后如果未连接本地打印服务，可使用“浏览器打印（无需本地服务）”，通过系统打印对话框选择打印机；浏览器不能直接发送 TSPL 原始指令。浏览器打印页按标签配置的毫米尺寸生成（标签宽×列数+列间距 × 标签高），不是打印机默认纸张尺寸。',
  '图片处理：选中图片可调整亮度、对比度、黑场/白场、Gamma、暗部提升、局部对比、碳带墨量补偿、反色和 3×3 去噪；黑白模式支持阈值/误差扩散/网点/随机抖动。点“碳带暗部”适合深色照片，点“铺满标签”可制作满版背景，拖到页边会出现粉色参考线。导入超过 10MB 的图片会自动等比缩放并压缩到约 4MB 以内。',
  '保存得到 .svtpl 文件；也可以把当前文档保存到“模板库”的本机模板里。',
];

// Texts that must appear somewhere in a sheet (whitespace collapsed).
const sheetTexts: Record<string, string[]> = {
  'settings-sheet': [
    '设置',
    '界面主题',
    '跟随系统 / 深色 / 浅色',
    '打印记录',
    'Sorvendale 0.3.0 · 标签排版与打印工作台',
    'QX530 / TSPL / 300dpi · 支持双列介质',
  ],
  'help-sheet': ['快捷键'],
  'preview-sheet': ['打印预览（1bpp）'],
  'calibration-sheet': ['打印机校准'],
  'print-sheet': [
    '打印设置',
    '单张打印按份数排布；不足一整排的末行保持整排宽度，并按“末行对齐”放在左列或右列，不会自动居中；批量打印按标签配置的列数填充。',
    '打印前请确认标签纸尺寸和列数与实际介质一致。',
  ],
  'template-sheet': [
    '模板库',
    '内置模板按当前 50×80mm 双列介质制作，套用后可继续修改。自定义模板保存在本机浏览器。',
  ],
  'data-sheet': ['数据表', '点击任意行切换当前记录；打印预览和批量打印都会使用选中记录。'],
  'check-sheet': ['文档检查'],
};

let service: RunningService;
let browser: Browser;

beforeAll(async () => {
  service = await startService();
  browser = await launchChromium();
});

afterAll(async () => {
  await browser?.close();
  await service?.stop();
});

describe('static page, scripts off', () => {
  let page: Page;

  beforeAll(async () => {
    const context = await browser.newContext({ javaScriptEnabled: false });
    page = await context.newPage();
    const reply = await page.goto(service.url);
    expect(reply?.status()).toBe(200);
  });

  test('document language, title, description and icon', async () => {
    expect(await page.getAttribute('html', 'lang')).toBe('zh-CN');
    expect(await page.title()).toBe('Sorvendale');
    expect(await page.getAttribute('meta[name="description"]', 'content')).toBe(
      'Sorvendale - 标签排版与打印',
    );
    expect(await page.getAttribute('link[rel="icon"]', 'href')).toBe('data:,');
  });

  test('every element id is present exactly once', async () => {
    const counts = await page.evaluate(
      (list) => list.map((id) => [id, document.querySelectorAll(`[id="${id}"]`).length] as const),
      ids,
    );
    expect(counts.filter(([, n]) => n !== 1)).toEqual([]);
  });

  test('fixed texts and titles', async () => {
    const read = await page.evaluate(
      ([textIds, titleIds]) => {
        const norm = (s: string) => s.replace(/\s+/g, ' ').trim();
        const text = (id: string) => {
          const el = document.getElementById(id)!;
          const icon = el.querySelector('.btn-icon');
          if (!icon) return norm(el.textContent ?? '');
          const rest = [...el.childNodes].filter((n) => n !== icon).map((n) => n.textContent);
          return `${norm(icon.textContent ?? '')}|${norm(rest.join(''))}`;
        };
        return {
          texts: Object.fromEntries(textIds.map((id) => [id, text(id)])),
          titles: Object.fromEntries(
            titleIds.map((id) => [id, document.getElementById(id)!.getAttribute('title')]),
          ),
        };
      },
      [Object.keys(fixedTexts), Object.keys(titles)] as const,
    );
    expect(read.texts).toEqual(fixedTexts);
    expect(read.titles).toEqual(titles);
  });

  test('title bar, columns and cards carry their hooks', async () => {
    const hooks = await page.evaluate(() => {
      const has = (sel: string) => document.querySelectorAll(sel).length;
      return {
        drag: document.getElementById('titlebar')!.hasAttribute('data-tauri-drag-region'),
        closeBtn: document.getElementById('window-close')!.classList.contains('close'),
        regions: [
          '.app-shell',
          '.nav-left',
          '.nav-center',
          '.nav-right',
          '.brand-mark',
          '.brand-name',
          '.window-controls',
          '.app-body',
          '.canvas-column',
          '.canvas-toolbar',
          '.zoom-group',
          '.canvas-scroll',
          '.side-panel.right',
          '.props-card',
          '.print-card',
          '.layer-card',
          '.data-card',
          '.obj-grid',
          '.doc-actions',
          '.data-actions',
          '.printer-row',
        ].filter((s) => has(s) !== 1),
        windowBtns: has('.window-controls .window-btn'),
        cards: [...document.querySelectorAll('.frost-card.panel-card')].map(
          (c) => c.querySelector('.panel-title')?.textContent?.trim() ?? '',
        ),
        brand: document.querySelector('.brand-name')!.textContent,
        host: document.getElementById('editor-canvas')!.parentElement!.id,
        // A backdrop blur is redone in software for every frame under it on a PC without GPU
        // compositing: the glass look comes from opaque backgrounds, sheets included.
        blurred: [...document.querySelectorAll<HTMLElement>('*')]
          .filter((e) => getComputedStyle(e).backdropFilter !== 'none')
          .map((e) => e.id || e.className),
      };
    });
    expect(hooks.drag).toBe(true);
    expect(hooks.closeBtn).toBe(true);
    expect(hooks.regions).toEqual([]);
    expect(hooks.windowBtns).toBe(3);
    expect(hooks.cards).toEqual(['添加对象', '图层', '数据', '标签配置', '打印']);
    expect(hooks.brand).toBe('Sorvendale');
    expect(hooks.host).toBe('canvas-host');
    expect(hooks.blurred).toEqual([]);
  });

  test('add buttons, toolbar faces and the download links', async () => {
    const got = await page.evaluate(() => ({
      add: [...document.querySelectorAll<HTMLElement>('.obj-grid [data-add]')].map((b) => [
        b.dataset.add,
        b.querySelector('.obj-icon')?.textContent,
        b.textContent!.replace(b.querySelector('.obj-icon')!.textContent!, '').trim(),
      ]),
      tools: [...document.querySelectorAll<HTMLElement>('[data-align], [data-layer]')].map((b) => [
        b.dataset.align ? 'align' : 'layer',
        b.dataset.align ?? b.dataset.layer,
        b.textContent!.trim(),
        b.title,
      ]),
      links: ['btn-download-server-side', 'btn-download-server'].map((id) => {
        const a = document.getElementById(id) as HTMLAnchorElement;
        return [a.tagName, a.getAttribute('href'), a.getAttribute('download')];
      }),
    }));
    expect(got.add).toEqual([
      ['text', 'T', '文本'],
      ['barcode', '|||', '一维码'],
      ['qrcode', '▦', '二维码'],
      ['rect', '▭', '矩形'],
      ['line', '／', '直线'],
      ['image', '▣', '图片'],
    ]);
    expect(got.tools).toEqual(toolbar);
    expect(got.links).toEqual([
      ['A', './download/Sorvendale.exe', 'Sorvendale.exe'],
      ['A', './download/Sorvendale.exe', 'Sorvendale.exe'],
    ]);
  });

  test('file inputs are hidden and accept their types', async () => {
    const inputs = await page.evaluate(() =>
      ['doc-input', 'image-input', 'data-input'].map((id) => {
        const el = document.getElementById(id) as HTMLInputElement;
        return [el.type, el.accept, getComputedStyle(el).display];
      }),
    );
    expect(inputs).toEqual([
      ['file', '.svtpl,.json,application/json', 'none'],
      ['file', 'image/*', 'none'],
      ['file', '.csv,.xlsx,.xls,text/csv', 'none'],
    ]);
  });

  test('sheets are hidden overlays with their cards and texts', async () => {
    const got = await page.evaluate(
      (list) =>
        list.map((id) => {
          const el = document.getElementById(id)!;
          const norm = (s: string) => s.replace(/\s+/g, ' ').trim();
          return {
            id,
            overlay: el.classList.contains('help-sheet'),
            display: getComputedStyle(el).display,
            card: el.firstElementChild?.className.split(' ')[0],
            text: norm((el as HTMLElement).innerText || el.textContent || ''),
          };
        }),
      sheets,
    );
    const cards = ['help-card', 'help-card', 'preview-card', 'print-dialog-card'];
    cards.push('calibration-card', 'template-card', 'data-modal', 'check-card');
    expect(got.map((s) => s.card)).toEqual(cards);
    got.forEach((s) => {
      expect(s.overlay, s.id).toBe(true);
      expect(s.display, s.id).toBe('none');
      for (const t of sheetTexts[s.id]) expect(s.text, s.id).toContain(t);
    });
  });

  test('help paragraphs, in order, with the placeholders set as code', async () => {
    const got = await page.evaluate(() => {
      const body = document.querySelector('#help-sheet .help-body')!;
      return {
        paragraphs: [...body.querySelectorAll('p')].map((p) =>
          p.textContent!.replace(/\s+/g, ' ').trim(),
        ),
        code: [...body.querySelectorAll('code')].map((c) => c.textContent),
      };
    });
    expect(got.paragraphs).toEqual(helpParagraphs);
    expect(got.code).toEqual([
      '{{字段}}',
      '{{__index__}}',
      '{{__rows__}}',
      '{{date:yyyy-MM-dd}}',
      '{{date+7:yyyy-MM-dd}}',
      '{{serial:1001:1:4}}',
    ]);
  });

  test('theme choices and the search placeholder', async () => {
    const got = await page.evaluate(() => ({
      themes: [...document.querySelectorAll<HTMLElement>('[data-theme-choice]')].map((b) => [
        b.dataset.themeChoice,
        b.textContent!.trim(),
      ]),
      search: (document.getElementById('data-search') as HTMLInputElement).placeholder,
    }));
    expect(got.themes).toEqual([
      ['system', '跟随系统'],
      ['dark', '深色'],
      ['light', '浅色'],
    ]);
    expect(got.search).toBe('搜索当前数据源…');
  });
});

describe('live page', () => {
  let page: Page;
  let errors: string[];

  beforeAll(async () => {
    const context = await browser.newContext({ viewport: { width: 1440, height: 900 } });
    page = await context.newPage();
    errors = collectPageErrors(page);
    // Not on the default port: the page is told where its own service is.
    await page.goto(designerUrl(service));
    // The splash fades out after start-up and then leaves the page.
    await page.waitForSelector('#splash', { state: 'detached', timeout: 10_000 });
  });

  test('loads without console errors, and the ids survive start-up', async () => {
    expect(errors).toEqual([]);
    const missing = await page.evaluate(
      (list) => list.filter((id) => !document.getElementById(id)),
      ids.filter((id) => id !== 'splash' && id !== 'boot-bar'),
    );
    expect(missing).toEqual([]);
  });

  test('the print sheet builds its fields, in order, with captions, limits and options', async () => {
    const fields = await page.evaluate(() =>
      [...document.querySelectorAll('#print-form label')].map((label) => {
        const input = label.querySelector<HTMLInputElement | HTMLSelectElement>('.prop-input')!;
        const shape =
          input instanceof HTMLSelectElement
            ? [...input.options].map((o) => `${o.value}=${o.text}`).join(' ')
            : `${input.min}…${input.max}/${input.step}`;
        const wide = label.classList.contains('wide') ? ' wide' : '';
        return `${input.id} ${label.querySelector('.prop-label')!.textContent}${wide}: ${shape}`;
      }),
    );
    const columns = ['单列', '双列', '三列', '四列', '五列', '六列', '七列', '八列'];
    expect(fields).toEqual([
      'print-copies 份数（总标签数）: 1…99/1',
      `print-columns 列布局: ${columns.map((t, i) => `${i + 1}=${t}`).join(' ')}`,
      'print-copy-mode 多份数据 wide: duplicate=每份相同（普通复印） ' +
        'sequence=按数据表顺延（条码逐份换值） serial=流水号递增（序列号逐份变化）',
      'print-odd-align 末行对齐: left=左列 right=右列',
      'print-orientation 打印方向: normal=正向 rotate180=旋转 180°',
      'print-offset-x X 偏移 mm: -20…20/0.5',
      'print-offset-y Y 偏移 mm: -20…20/0.5',
      'print-density 浓度: 0…15/1',
      'print-speed 速度 ips: 1…6/1',
    ]);
  });

  test('Chinese text is drawn with a CJK font, not a fallback box', async () => {
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('DOM.enable');
    await cdp.send('CSS.enable');
    const { root } = await cdp.send('DOM.getDocument');
    const fontsOf = async (selector: string) => {
      const { nodeId } = await cdp.send('DOM.querySelector', { nodeId: root.nodeId, selector });
      const { fonts } = await cdp.send('CSS.getPlatformFontsForNode', { nodeId });
      return fonts;
    };
    for (const selector of [
      '.print-card .panel-title',
      '#status-doc + .status-light',
      '.brand-name + .doc-name',
    ]) {
      const fonts = await fontsOf(selector);
      expect(fonts.length, selector).toBeGreaterThan(0);
      for (const f of fonts)
        expect(f.familyName, selector).toMatch(/WenQuanYi|CJK|Han Sans|YaHei|PingFang/);
    }
    await cdp.detach();
  });

  test('palettes: light by default, dark by attribute or by the system while system is chosen', async () => {
    const colours = () =>
      page.evaluate(() => {
        const s = getComputedStyle(document.body);
        const v = getComputedStyle(document.documentElement);
        return [
          s.backgroundColor,
          s.color,
          ...['--muted', '--accent', '--green', '--orange', '--red'].map((n) =>
            v.getPropertyValue(n).trim(),
          ),
        ];
      });
    const setTheme = (t: string | null) =>
      page.evaluate((value) => {
        if (value) document.documentElement.setAttribute('data-theme', value);
        else document.documentElement.removeAttribute('data-theme');
      }, t);
    const light = ['rgb(244, 244, 246)', 'rgb(29, 29, 31)'];
    // Muted text, the accent and red are darker (light) or lighter (dark) so that text in them
    // reads at 4.5 : 1.
    light.push('#636366', '#4b49d6', '#34c759', '#ff9500', '#c4000f');
    const dark = ['rgb(0, 0, 0)', 'rgb(245, 245, 247)'];
    dark.push('#a1a1a6', '#9b9bf7', '#32d74b', '#ff9f0a', '#ff8a80');

    await page.emulateMedia({ colorScheme: 'light' });
    await setTheme(null);
    expect(await colours()).toEqual(light);
    await setTheme('dark');
    expect(await colours()).toEqual(dark);
    await page.waitForTimeout(400); // let colour transitions settle before the picture
    await page.screenshot({ path: join(testOutputDir(), 'designer-dark.png') });

    // "system" follows the system's preference as it changes, through the theme module.
    const chooseSystem = () =>
      page.evaluate(() =>
        document.querySelector<HTMLElement>('[data-theme-choice="system"]')!.click(),
      );
    const palette = (name: string) =>
      page.waitForFunction((p) => document.documentElement.dataset.theme === p, name);
    await chooseSystem();
    expect(await colours()).toEqual(light);
    await page.emulateMedia({ colorScheme: 'dark' });
    await palette('dark'); // the system's change arrives as an event
    expect(await colours()).toEqual(dark);
    await setTheme('light');
    expect(await colours()).toEqual(light);
    await page.emulateMedia({ colorScheme: 'light' });
    await setTheme(null);
    await page.evaluate(() => localStorage.removeItem('sorvendale.theme'));
  });

  test('a chosen theme is applied, marked and remembered across a reload', async () => {
    const choose = (choice: string) =>
      page.evaluate((c) => {
        document.getElementById('settings-sheet')!.hidden = false;
        document.querySelector<HTMLElement>(`[data-theme-choice="${c}"]`)!.click();
        document.getElementById('settings-sheet')!.hidden = true;
      }, choice);
    const state = () =>
      page.evaluate(() => ({
        attr: document.documentElement.getAttribute('data-theme'),
        stored: localStorage.getItem('sorvendale.theme'),
        selected: [
          ...document.querySelectorAll<HTMLElement>('[data-theme-choice].is-selected'),
        ].map((b) => b.dataset.themeChoice),
      }));
    // A reload while printer discovery is still asking the service would cut that call off
    // (without a print system it takes the service's retries, about 1.5 s): let it finish.
    const discovered = () =>
      page.waitForFunction(
        () => document.getElementById('printer-value')?.textContent !== '正在查找打印机…',
        undefined,
        { timeout: 15_000 },
      );
    await choose('dark');
    expect(await state()).toEqual({ attr: 'dark', stored: 'dark', selected: ['dark'] });
    await discovered();
    await page.reload();
    expect(await state()).toEqual({ attr: 'dark', stored: 'dark', selected: ['dark'] });
    await discovered();
    await choose('system');
    expect(await state()).toEqual({ attr: 'light', stored: 'system', selected: ['system'] });
    await page.evaluate(() => localStorage.setItem('sorvendale.theme', 'sepia'));
    await page.reload();
    expect(await state()).toEqual({ attr: 'light', stored: 'sepia', selected: ['system'] });
    await page.waitForSelector('#splash', { state: 'detached', timeout: 10_000 });
    await discovered();
  });

  test('window-size rules: fixed bars, column widths, narrow layout and the minimum', async () => {
    const layout = () =>
      page.evaluate(() => {
        const rect = (sel: string) => document.querySelector(sel)!.getBoundingClientRect();
        const cols = getComputedStyle(document.querySelector('.app-body')!)
          .gridTemplateColumns.split(' ')
          .map((c) => Math.round(parseFloat(c)));
        return {
          title: rect('.titlebar').height,
          status: rect('.statusbar').height,
          shell: [rect('.app-shell').width, rect('.app-shell').height],
          side: [cols[0], cols[2]],
        };
      });
    await page.setViewportSize({ width: 1440, height: 900 });
    expect(await layout()).toEqual({ title: 52, status: 30, shell: [1440, 900], side: [210, 276] });
    await page.setViewportSize({ width: 1100, height: 700 });
    expect((await layout()).side).toEqual([210, 276]);
    await page.setViewportSize({ width: 1099, height: 700 });
    expect((await layout()).side).toEqual([180, 250]);
    await page.setViewportSize({ width: 700, height: 400 });
    expect((await layout()).shell).toEqual([880, 560]);
    await page.setViewportSize({ width: 1440, height: 900 });
  });

  test('reduced motion cuts animations and transitions to almost nothing', async () => {
    const timing = () =>
      page.evaluate(() => {
        const el = document.getElementById('status-dot')!;
        el.classList.add('is-pending');
        const s = getComputedStyle(el);
        const out = [parseFloat(s.animationDuration), parseFloat(s.transitionDuration)];
        el.classList.remove('is-pending');
        return out;
      });
    await page.emulateMedia({ reducedMotion: 'no-preference' });
    expect((await timing()).every((t) => t >= 0.1)).toBe(true);
    await page.emulateMedia({ reducedMotion: 'reduce' });
    expect((await timing()).every((t) => t < 0.001)).toBe(true);
    await page.emulateMedia({ reducedMotion: 'no-preference' });
  });

  test('screenshot of the light page', async () => {
    await page.evaluate(() => document.documentElement.removeAttribute('data-theme'));
    await page.waitForTimeout(400);
    await page.screenshot({ path: join(testOutputDir(), 'designer-light.png') });
    expect(errors).toEqual([]);
  });
});
