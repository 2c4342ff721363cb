// Removed once the folder has real sources.
