// Fresh documents and objects with their factory defaults.

import {
  DOCUMENT_FIELDS,
  OWN_FIELDS,
  PAGE_FIELDS,
  PRINT_FIELDS,
  defaultValues,
} from './field-table';
import { newObjectId } from './ids';
import {
  TYPE_LABELS,
  type LabelDocument,
  type ObjectOfType,
  type ObjectType,
  type OwnFields,
  type Placement,
} from './model';

export function createDocument(name: string = DOCUMENT_FIELDS.name.default): LabelDocument {
  return {
    schemaVersion: 1,
    name,
    page: defaultValues(PAGE_FIELDS),
    print: defaultValues(PRINT_FIELDS),
    objects: [],
  };
}

/** The factory defaults of each type's own fields, in their stored order. */
export function defaultOwnFields<T extends ObjectType>(type: T): OwnFields<T> {
  return defaultValues(OWN_FIELDS[type]) as OwnFields<T>;
}

export function createObject<T extends ObjectType>(type: T, placement: Placement): ObjectOfType<T> {
  return {
    id: newObjectId(),
    type,
    name: TYPE_LABELS[type],
    x: placement.x,
    y: placement.y,
    w: placement.w,
    h: placement.h,
    ...defaultOwnFields(type),
  } as ObjectOfType<T>;
}
