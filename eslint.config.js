import js from '@eslint/js';
import tseslint from 'typescript-eslint';

// The model layers (document, merge) import no DOM code and nothing from the UI layers;
// render/image/compose need only a canvas, and image/ sits below render/. Arrows run one way.
const uiAreas = ['editor', 'print', 'shell', 'inspector', 'service'];
const restrictUi = (areas) => ({
  'no-restricted-imports': [
    'error',
    {
      patterns: areas.map((a) => ({ group: [`**/${a}/*`], message: `no imports from ${a}/ here` })),
    },
  ],
});

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
    files: ['web/src/document/**/*.ts', 'web/src/merge/**/*.ts'],
    rules: restrictUi([...uiAreas, 'render', 'image', 'compose']),
  },
  {
    files: ['web/src/render/**/*.ts', 'web/src/compose/**/*.ts'],
    rules: restrictUi(uiAreas),
  },
  {
    // Pictures are pure pixel work; drawing them on a label is render/'s job.
    files: ['web/src/image/**/*.ts'],
    rules: restrictUi([...uiAreas, 'render', 'compose']),
  },
);
