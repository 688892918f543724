// Replaced by the screen library's sources.
