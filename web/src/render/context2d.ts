/** Any 2D drawing context the renderer can draw on. */
export type Ctx2D = CanvasRenderingContext2D | OffscreenCanvasRenderingContext2D;
