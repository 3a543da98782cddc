// Replaced by the database client sources.
