-- Straatwijs tables for the embedded SQLite database; the same tables as
-- mysql.sql (see there). SQLite stores text as UTF-8. Write-ahead logging
-- lets harvesters read the queue while another one writes.
PRAGMA journal_mode = WAL;

CREATE TABLE IF NOT EXISTS Requests (
  Id INTEGER PRIMARY KEY,
  Query TEXT NOT NULL,
  Type TEXT NOT NULL,
  Status TEXT NOT NULL DEFAULT 'N' CHECK (length(Status) = 1)
);
CREATE INDEX IF NOT EXISTS Requests_Status_Type ON Requests (Status, Type);
CREATE INDEX IF NOT EXISTS Requests_Query_Status ON Requests (Query, Status);

CREATE TABLE IF NOT EXISTS Straatwijs (
  Query TEXT NOT NULL DEFAULT '',
  Type TEXT NOT NULL DEFAULT '',
  Postcode TEXT NOT NULL DEFAULT '',
  Straat TEXT NOT NULL DEFAULT '',
  EvenOneven TEXT NULL DEFAULT NULL,
  NrVan TEXT NULL DEFAULT NULL,
  NrTm TEXT NULL DEFAULT NULL,
  Woonplaats TEXT NOT NULL DEFAULT '',
  Resultaten NUMERIC NULL DEFAULT NULL,
  Ip TEXT NOT NULL DEFAULT ''
);

CREATE TABLE IF NOT EXISTS StraatwijsLease (
  Request TEXT NOT NULL PRIMARY KEY,
  HostAddress TEXT NOT NULL DEFAULT '',
  HostName TEXT NOT NULL DEFAULT '',
  Pid INTEGER NOT NULL DEFAULT 0,
  ProcessStart INTEGER NOT NULL DEFAULT 0,
  Token TEXT NULL DEFAULT NULL,
  ClaimedAt INTEGER NOT NULL DEFAULT 0,
  RenewedAt INTEGER NOT NULL DEFAULT 0,
  ExpiresAt INTEGER NOT NULL DEFAULT 0,
  Attempts INTEGER NOT NULL DEFAULT 0
);
