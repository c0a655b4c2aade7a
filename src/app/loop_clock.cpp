// Placeholder: the fixed-step clock lands with the main loop.
