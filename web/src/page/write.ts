// Writes that leave the page alone when the value is already there. Setting a text or an
// attribute to the value it has still marks the element for style, layout and paint, and the
// views run on every store change: a drag would repaint the status bar for every mouse move.

export function writeText(node: Node, text: string): void {
  if (node.textContent !== text) node.textContent = text;
}

/** Shows or hides with the `hidden` attribute. */
export function writeHidden(node: HTMLElement, hidden: boolean): void {
  if (node.hidden !== hidden) node.hidden = hidden;
}

export function writeClass(node: Element, className: string): void {
  if (node.className !== className) node.className = className;
}

export function writeTitle(doc: Document, title: string): void {
  if (doc.title !== title) doc.title = title;
}
