// Placeholder so that a library folder without sources still links.
