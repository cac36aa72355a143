// How often the page's views follow the store while a batch runs. A batch moves the current
// record once per row, many times a second; redrawing the canvas and the data panel for each of
// those costs the batch more main-thread time than a person can see. While paced, the views
// follow at most once per interval, on an animation frame, and once more when the batch ends.
// The status line's texts follow the same pace, so a row repaints the page at most once.

/** Between two runs of the views during a batch. */
export const BATCH_VIEW_INTERVAL_MS = 200;

export interface PaceState {
  /** A batch runs: emits wait for a frame at the bounded rate. */
  paced: boolean;
  /** An emit came that the views have not shown yet. */
  pending: boolean;
  /** A frame (or the wait before it) is already asked for. */
  asked: boolean;
  /** When the views last ran. */
  lastRunMs: number;
}

export type PaceEvent =
  | { kind: 'emit'; nowMs: number }
  | { kind: 'frame'; nowMs: number }
  | { kind: 'begin' }
  | { kind: 'end'; nowMs: number };

export interface PaceStep {
  state: PaceState;
  /** Run the views now. */
  run: boolean;
  /** Ask for an animation frame after this many milliseconds (0: the next one). */
  frameInMs?: number;
}

export const IDLE_PACE: PaceState = {
  paced: false,
  pending: false,
  asked: false,
  lastRunMs: -Infinity,
};

export function paceViews(
  state: PaceState,
  event: PaceEvent,
  intervalMs = BATCH_VIEW_INTERVAL_MS,
): PaceStep {
  switch (event.kind) {
    case 'begin':
      return { state: { ...state, paced: true }, run: false };
    case 'end':
      // The last row, a stop and the restored record show at once, not a frame later.
      return {
        state: {
          ...state,
          paced: false,
          pending: false,
          lastRunMs: state.pending ? event.nowMs : state.lastRunMs,
        },
        run: state.pending,
      };
    case 'emit':
      if (!state.paced) return { state: { ...state, lastRunMs: event.nowMs }, run: true };
      if (state.asked) return { state: { ...state, pending: true }, run: false };
      return {
        state: { ...state, pending: true, asked: true },
        run: false,
        frameInMs: Math.max(0, state.lastRunMs + intervalMs - event.nowMs),
      };
    case 'frame': {
      const settled = { ...state, asked: false };
      // Nothing new, or the batch ended and showed it already.
      if (!state.pending || !state.paced) return { state: settled, run: false };
      const wait = state.lastRunMs + intervalMs - event.nowMs;
      if (wait <= 0) {
        return { state: { ...settled, pending: false, lastRunMs: event.nowMs }, run: true };
      }
      // A timer may fire a little early; ask again for the rest.
      return { state: { ...settled, asked: true }, run: false, frameInMs: wait };
    }
  }
}

export interface PageClock {
  now(): number;
  frame(run: () => void): void;
  later(run: () => void, ms: number): void;
}

const browserClock: PageClock = {
  now: () => performance.now(),
  frame: (run) => requestAnimationFrame(() => run()),
  later: (run, ms) => setTimeout(run, ms),
};

export interface ViewPace {
  /**
   * Runs `run` now, or on a later frame while a batch runs. Of the runs asked for meanwhile, the
   * latest of each `key` runs, in the order the keys first came.
   */
  request(run: () => void, key?: string): void;
  batchStarted(): void;
  batchEnded(): void;
}

export function createViewPace(clock: PageClock = browserClock): ViewPace {
  let state = IDLE_PACE;
  const latest = new Map<string, () => void>();
  const step = (event: PaceEvent) => {
    const next = paceViews(state, event);
    state = next.state;
    if (next.frameInMs !== undefined) {
      const ask = () => clock.frame(() => step({ kind: 'frame', nowMs: clock.now() }));
      if (next.frameInMs > 0) clock.later(ask, next.frameInMs);
      else ask();
    }
    if (next.run) {
      const runs = [...latest.values()];
      latest.clear();
      for (const run of runs) run();
    }
  };
  return {
    request(run, key = 'views') {
      latest.set(key, run);
      step({ kind: 'emit', nowMs: clock.now() });
    },
    batchStarted: () => step({ kind: 'begin' }),
    batchEnded: () => step({ kind: 'end', nowMs: clock.now() }),
  };
}
