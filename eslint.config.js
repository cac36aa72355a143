import js from '@eslint/js';
import tseslint from 'typescript-eslint';

// Arrows run one way. The model layers (document, merge) import no DOM code and nothing from the
// UI; render/image/compose need only a canvas, and image/ is pixel work that knows nothing of
// drawing label objects. page/ and store/ are the UI's bottom layer (element lookup, status line;
// the working document's store); the UI areas sit on them and meet only through the store and
// the hooks main.ts passes in.
const uiAreas = ['editor', 'print', 'shell', 'inspector', 'data', 'service'];
const banImports = (areas) => ({
  'no-restricted-imports': [
    'error',
    {
      patterns: areas.map((a) => ({
        group: [`**/${a}/*`],
        message: `no imports from ${a}/ here`,
      })),
    },
  ],
});

// Elements are looked up once, by web/src/page/elements.ts; everything else receives them.
const banIdLookups = {
  'no-restricted-syntax': [
    'error',
    {
      selector: "CallExpression[callee.property.name='getElementById']",
      message: 'look elements up through page/elements.ts and receive them in install…()',
    },
    {
      selector:
        'CallExpression[callee.property.name=/^querySelector(All)?$/][arguments.0.value=/^#|\\[data-(add|align|layer|theme-choice)/]',
      message: 'look elements up through page/elements.ts and receive them in install…()',
    },
  ],
};

export default tseslint.config(
  { ignores: ['dist/', 'build/', 'build-*/', 'node_modules/', 'test-output/'] },
  js.configs.recommended,
  ...tseslint.configs.recommended,
  {
    files: [
      'scripts/**/*.mjs',
      'e2e/**/*.ts',
      'bench/**/*.ts',
      '*.config.*',
      'web/vitest.config.ts',
    ],
    languageOptions: { globals: { process: 'readonly', console: 'readonly' } },
  },
  {
    files: ['web/src/**/*.ts'],
    ignores: ['web/src/page/**'],
    rules: banIdLookups,
  },
  {
    files: ['web/src/document/**/*.ts', 'web/src/merge/**/*.ts'],
    rules: banImports([...uiAreas, 'page', 'store', 'render', 'image', 'compose']),
  },
  {
    files: ['web/src/render/**/*.ts', 'web/src/compose/**/*.ts'],
    rules: banImports([...uiAreas, 'page', 'store', 'verify']),
  },
  {
    // Reading symbols back from a composed row: above compose, below every UI area.
    files: ['web/src/verify/**/*.ts'],
    rules: banImports([...uiAreas, 'page', 'store']),
  },
  {
    // Pictures are pure pixel work; drawing them on a label is render/'s job.
    files: ['web/src/image/**/*.ts'],
    rules: banImports([...uiAreas, 'page', 'store', 'render', 'compose']),
  },
  {
    files: ['web/src/page/**/*.ts', 'web/src/store/**/*.ts'],
    rules: banImports(uiAreas),
  },
  ...uiAreas.map((area) => ({
    files: [`web/src/${area}/**/*.ts`],
    rules: banImports(uiAreas.filter((a) => a !== area)),
  })),
);
