-- Straatwijs tables for MySQL / MariaDB.
--
-- Requests is the work queue that other systems fill; the harvester reads
-- Query and Type and writes only Status ('N' open, 'L' in progress, 'Y'
-- done). Further columns may be added freely. The key column lets the
-- harvester close exactly the row it claimed; without one it closes a row
-- of the same Query and Type. Query compares byte for byte.
CREATE TABLE IF NOT EXISTS Requests (
  Id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
  Query VARCHAR(255) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin NOT NULL,
  Type CHAR(1) NOT NULL,
  Status CHAR(1) NOT NULL DEFAULT 'N',
  KEY Requests_Status_Type (Status, Type),
  KEY Requests_Query_Status (Query, Status)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- One row per postcode record; rows are only ever appended. A record
-- without house numbers leaves EvenOneven, NrVan and NrTm NULL. Resultaten is
-- the count the site reported, NULL when its page gave none. The key column
-- lets a Galera cluster certify rows by key rather than by their content, so
-- two harvesters storing identical rows on different nodes do not conflict.
CREATE TABLE IF NOT EXISTS Straatwijs (
  Id BIGINT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
  Query VARCHAR(255) NOT NULL DEFAULT '',
  Type CHAR(1) NOT NULL DEFAULT '',
  Postcode VARCHAR(16) NOT NULL DEFAULT '',
  Straat VARCHAR(255) NOT NULL DEFAULT '',
  EvenOneven CHAR(1) NULL DEFAULT NULL,
  NrVan VARCHAR(16) NULL DEFAULT NULL,
  NrTm VARCHAR(16) NULL DEFAULT NULL,
  Woonplaats VARCHAR(255) NOT NULL DEFAULT '',
  Resultaten DOUBLE NULL DEFAULT NULL,
  Ip VARCHAR(45) NOT NULL DEFAULT ''
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- One row per request in progress: the harvester that claimed it (host,
-- process and its start time), a random token, and the times in
-- milliseconds since 1970 by the database server's clock. The harvester
-- renews ExpiresAt while it works; its close commits only while Token is
-- still its own. An expired lease is handed back (Token NULL, Status 'N'),
-- keeping Attempts; a request whose lease expired three times stays 'L'.
-- Request holds the request's key as text.
CREATE TABLE IF NOT EXISTS StraatwijsLease (
  Request VARCHAR(255) NOT NULL PRIMARY KEY,
  HostAddress VARCHAR(45) NOT NULL DEFAULT '',
  HostName VARCHAR(255) NOT NULL DEFAULT '',
  Pid BIGINT NOT NULL DEFAULT 0,
  ProcessStart BIGINT NOT NULL DEFAULT 0,
  Token CHAR(32) NULL DEFAULT NULL,
  ClaimedAt BIGINT NOT NULL DEFAULT 0,
  RenewedAt BIGINT NOT NULL DEFAULT 0,
  ExpiresAt BIGINT NOT NULL DEFAULT 0,
  Attempts INT NOT NULL DEFAULT 0
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;
