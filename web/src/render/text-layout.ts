// Line breaking for text objects: CJK characters, spaces and tabs break anywhere, runs of other
// characters (words) never split.

function isCjk(cp: number): boolean {
  return (
    (cp >= 0x2e80 && cp <= 0x9fff) ||
    (cp >= 0xf900 && cp <= 0xfaff) ||
    (cp >= 0xff00 && cp <= 0xff60) ||
    (cp >= 0xffe0 && cp <= 0xffe6)
  );
}

/** Cuts one paragraph into tokens, walking it by code point. */
export function tokenize(paragraph: string): string[] {
  const tokens: string[] = [];
  let word = '';
  for (const ch of paragraph) {
    const cp = ch.codePointAt(0)!;
    if (isCjk(cp) || ch === ' ' || ch === '\t') {
      if (word) tokens.push(word);
      word = '';
      tokens.push(ch);
    } else {
      word += ch;
    }
  }
  if (word) tokens.push(word);
  return tokens;
}

const trimEnd = (s: string): string => s.trimEnd();

/**
 * Greedy filling: a token that would overflow a non-empty line starts the next one; a space at
 * a break is dropped, anything else (a tab included) begins the new line.
 */
export function layoutParagraph(
  paragraph: string,
  boxWidth: number,
  measure: (s: string) => number,
): string[] {
  const lines: string[] = [];
  let line = '';
  for (const token of tokenize(paragraph)) {
    const candidate = line + token;
    if (line !== '' && measure(candidate) > boxWidth) {
      lines.push(trimEnd(line));
      line = token === ' ' ? '' : token;
    } else {
      line = candidate;
    }
  }
  lines.push(trimEnd(line));
  return lines;
}

/** All lines of a text: paragraphs at every line feed, each filled on its own. */
export function layoutText(
  text: string,
  boxWidth: number,
  measure: (s: string) => number,
): string[] {
  return text.split('\n').flatMap((p) => layoutParagraph(p, boxWidth, measure));
}

/** How many of `count` lines fit: each needs its whole pitch, with 1 dot of tolerance. */
export function visibleLineCount(
  count: number,
  top: number,
  boxBottom: number,
  pitch: number,
): number {
  let y = top;
  let n = 0;
  while (n < count && y + pitch <= boxBottom + 1) {
    y += pitch;
    n++;
  }
  return n;
}
