// Keeps a module library valid while it has no sources of its own.
