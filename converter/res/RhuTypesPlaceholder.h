// The first-stage converter's type file: it knows only the builtin types, which is all that
// reading the engine's record header needs.
