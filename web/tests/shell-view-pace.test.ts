import { describe, expect, test } from 'vitest';
import {
  createViewPace,
  IDLE_PACE,
  paceViews,
  type PaceEvent,
  type PageClock,
} from '../src/shell/view-pace';
import { pacedStatusLine } from '../src/page/status';

const emit = (nowMs: number): PaceEvent => ({ kind: 'emit', nowMs });
const frame = (nowMs: number): PaceEvent => ({ kind: 'frame', nowMs });
const begin: PaceEvent = { kind: 'begin' };
const end = (nowMs: number): PaceEvent => ({ kind: 'end', nowMs });

/** Per event: 'run', 'ask N' (a frame in N ms), or '-' (nothing). */
function trace(events: PaceEvent[]): string[] {
  let state = IDLE_PACE;
  return events.map((event) => {
    const step = paceViews(state, event, 200);
    state = step.state;
    if (step.run && step.frameInMs !== undefined) return `run+ask ${step.frameInMs}`;
    if (step.run) return 'run';
    return step.frameInMs !== undefined ? `ask ${step.frameInMs}` : '-';
  });
}

describe('paceViews', () => {
  test.each<[string, PaceEvent[], string[]]>([
    ['outside a batch every emit runs at once', [emit(0), emit(1), emit(2)], ['run', 'run', 'run']],
    [
      'the first row of a batch shows on the next frame',
      [emit(0), begin, emit(500), frame(510)],
      ['run', '-', 'ask 0', 'run'],
    ],
    [
      'rows within the interval share one frame request and one run',
      [begin, emit(0), emit(50), emit(100), emit(150), frame(16)],
      ['-', 'ask 0', '-', '-', '-', 'run'],
    ],
    [
      'a row soon after a run waits out the rest of the interval',
      [begin, emit(0), frame(10), emit(60)],
      ['-', 'ask 0', 'run', 'ask 150'],
    ],
    [
      'a frame that comes early asks again for the remainder',
      [begin, emit(0), frame(10), emit(60), frame(190)],
      ['-', 'ask 0', 'run', 'ask 150', 'ask 20'],
    ],
    [
      'a frame with nothing new runs nothing',
      [begin, emit(0), frame(10), frame(400)],
      ['-', 'ask 0', 'run', '-'],
    ],
    [
      'at most one run per interval over a long batch',
      [
        begin,
        emit(0),
        frame(5),
        emit(60),
        emit(120),
        frame(205),
        emit(240),
        emit(300),
        emit(360),
        frame(405),
      ],
      ['-', 'ask 0', 'run', 'ask 145', '-', 'run', 'ask 165', '-', '-', 'run'],
    ],
    [
      'the end shows what waits at once',
      [begin, emit(0), frame(5), emit(60), end(70), frame(205)],
      ['-', 'ask 0', 'run', 'ask 145', 'run', '-'],
    ],
    [
      'an end with nothing waiting runs nothing, and emits run at once again',
      [begin, emit(0), frame(5), end(100), emit(110)],
      ['-', 'ask 0', 'run', '-', 'run'],
    ],
  ])('%s', (_label, events, expected) => {
    expect(trace(events)).toEqual(expected);
  });
});

describe('createViewPace', () => {
  test('runs the latest views on the frame and flushes at the end', () => {
    let now = 0;
    const frames: Array<() => void> = [];
    const timers: Array<[() => void, number]> = [];
    const clock: PageClock = {
      now: () => now,
      frame: (run) => frames.push(run),
      later: (run, ms) => timers.push([run, ms]),
    };
    const pace = createViewPace(clock);
    const shown: string[] = [];
    pace.batchStarted();
    pace.request(() => shown.push('a'));
    pace.request(() => shown.push('b'));
    expect([shown, frames.length]).toEqual([[], 1]);
    now = 16;
    frames.shift()!();
    expect(shown).toEqual(['b']);
    now = 40;
    pace.request(() => shown.push('c'));
    expect(timers.map(([, ms]) => ms)).toEqual([176]);
    pace.batchEnded();
    expect(shown).toEqual(['b', 'c']);
    // The frame asked for during the batch finds nothing left to show.
    now = 216;
    timers.shift()![0]();
    frames.shift()!();
    expect(shown).toEqual(['b', 'c']);
  });

  test('the status line follows the same frames, the latest text of each kind', () => {
    let now = 0;
    const frames: Array<() => void> = [];
    const clock: PageClock = {
      now: () => now,
      frame: (run) => frames.push(run),
      later: (run) => run(),
    };
    const pace = createViewPace(clock);
    const shown: string[] = [];
    const status = pacedStatusLine(
      {
        setStatus: (state, text) => shown.push(`${state} ${text}`),
        showHint: (text) => shown.push(`hint ${text}`),
      },
      pace,
    );
    status.setStatus('online', 'ready');
    expect(shown).toEqual(['online ready']);
    now = 300;
    pace.batchStarted();
    pace.request(() => shown.push('views 1'));
    status.setStatus('pending', 'row 1');
    status.setStatus('pending', 'row 2');
    pace.request(() => shown.push('views 2'));
    expect([shown.length, frames.length]).toEqual([1, 1]);
    now = 316;
    frames.shift()!();
    expect(shown.slice(1)).toEqual(['views 2', 'pending row 2']);
    now = 400;
    status.setStatus('pending', 'row 3');
    status.showHint('paused');
    pace.batchEnded();
    status.setStatus('online', 'done');
    expect(shown.slice(3)).toEqual(['pending row 3', 'hint paused', 'online done']);
    // The frame asked for during the batch shows nothing stale over the final text.
    now = 516;
    frames.shift()!();
    expect(shown.at(-1)).toBe('online done');
  });
});
