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
-- the count the site reported, NULL when its page gave none.
CREATE TABLE IF NOT EXISTS Straatwijs (
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
