import { describe, expect, test } from 'vitest';
import { layoutParagraph, layoutText, tokenize, visibleLineCount } from '../src/render/text-layout';

// Every character is 10 units wide, a tab too.
const mono = (s: string): number => [...s].length * 10;

describe('tokenize', () => {
  test('CJK, full-width forms, spaces and tabs are single tokens; other runs are words', () => {
    expect(tokenize('标签ab c\td，。')).toEqual([
      '标',
      '签',
      'ab',
      ' ',
      'c',
      '\t',
      'd',
      '，',
      '。',
    ]);
    expect(tokenize('ＡＢ￥x')).toEqual(['Ａ', 'Ｂ', '￥', 'x']);
    expect(tokenize('a😀b')).toEqual(['a😀b']);
    expect(tokenize('⺀x鿿')).toEqual(['⺀', 'x', '鿿']);
    expect(tokenize('')).toEqual([]);
  });
});

describe('greedy filling', () => {
  test('CJK breaks between any two characters', () => {
    expect(layoutParagraph('标签排版', 25, mono)).toEqual(['标签', '排版']);
    expect(layoutParagraph('标签排版', 10, mono)).toEqual(['标', '签', '排', '版']);
  });

  test('Latin words break only at the space, which is not carried over', () => {
    expect(layoutParagraph('hello world', 60, mono)).toEqual(['hello', 'world']);
    expect(layoutParagraph('hello world', 110, mono)).toEqual(['hello world']);
  });

  test('two spaces: the break position decides which survive', () => {
    // Break on the first space: it is dropped, the second begins the next line.
    expect(layoutParagraph('abc  d', 30, mono)).toEqual(['abc', ' d']);
    // Break on the second space: the first is trimmed, the second dropped.
    expect(layoutParagraph('ab  cd', 30, mono)).toEqual(['ab', 'cd']);
    // Break at the word: spaces before it are trimmed from the line end.
    expect(layoutParagraph('ab  cd', 40, mono)).toEqual(['ab', 'cd']);
  });

  test('a tab at a break starts the next line', () => {
    expect(layoutParagraph('abc\td', 30, mono)).toEqual(['abc', '\td']);
  });

  test('a word wider than the box stands alone and is not split', () => {
    expect(layoutParagraph('a verylongword b', 50, mono)).toEqual(['a', 'verylongword', 'b']);
    expect(layoutParagraph('verylongword', 5, mono)).toEqual(['verylongword']);
  });

  test('full-width punctuation may begin a line', () => {
    expect(layoutParagraph('标签，排版', 20, mono)).toEqual(['标签', '，排', '版']);
  });

  test('line feeds make paragraphs; an empty paragraph is one empty line', () => {
    expect(layoutText('ab\n\ncd ', 100, mono)).toEqual(['ab', '', 'cd']);
    expect(layoutText('', 100, mono)).toEqual(['']);
  });
});

describe('pitch rule', () => {
  test('12 pt, line height 1.2 in an 8 mm box at 300 dpi keeps one line', () => {
    const pitch = ((12 * 300) / 72) * 1.2; // 60
    const boxHeight = (8 * 300) / 25.4; // 94.49
    expect(visibleLineCount(3, 0, boxHeight, pitch)).toBe(1);
    expect(visibleLineCount(3, 100, 100 + 119, 60)).toBe(2); // 120 ≤ 120 with the 1-dot tolerance
    expect(visibleLineCount(3, 100, 100 + 118.9, 60)).toBe(1);
    expect(visibleLineCount(2, 0, 1000, 60)).toBe(2);
  });
});
