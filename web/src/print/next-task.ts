// Yielding to the page between steps of a row, so it can paint and take a stop click.

/** Resolves in a later task (a message round trip, which no timer clamping delays). */
export function nextTask(): Promise<void> {
  return new Promise((resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => {
      // Open ports stay entangled and alive; close both.
      channel.port1.close();
      channel.port2.close();
      resolve();
    };
    channel.port2.postMessage(null);
  });
}
