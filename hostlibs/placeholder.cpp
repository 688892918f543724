// Replaced by the host libraries' sources.
