// Every id the designer makes: a prefix, the time in milliseconds in base 36, then a page-wide
// counter in base 36, or random base-36 characters where ids must not repeat across page loads.

let counter = 0;

function randomBase36(count: number): string {
  let out = '';
  for (let i = 0; i < count; i += 1) out += Math.floor(Math.random() * 36).toString(36);
  return out;
}

export interface IdOptions {
  /** Random characters in place of the counter. */
  random?: number;
  /** The time written into the id; the current time when absent. */
  now?: number;
}

export function newId(prefix: string, options: IdOptions = {}): string {
  const time = (options.now ?? Date.now()).toString(36);
  if (options.random !== undefined) return `${prefix}${time}${randomBase36(options.random)}`;
  const id = `${prefix}${time}${counter.toString(36)}`;
  counter += 1;
  return id;
}

/** Objects made by the factory and the sanitiser: "o", the time, the counter. */
export function newObjectId(): string {
  return newId('o');
}
