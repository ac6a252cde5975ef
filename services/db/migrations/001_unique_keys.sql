-- Unique keys the workstation relies on, for a database made before they existed. Safe to run
-- again: a key already there is left alone. Runs on MySQL and MariaDB alike.
--
--   mariadb sorev < services/db/migrations/001_unique_keys.sql
--
-- If a key cannot be added because duplicates exist, the statement fails naming the duplicate
-- value: settle those rows first (see the README), then run this file again.

-- zet_users5add: at most one row of additional data per expert.
SET @sql = (SELECT IF(COUNT(*) = 0,
    'ALTER TABLE `zet_users5add` ADD UNIQUE KEY `users_id_unique` (`users_id`)',
    'DO 0')
  FROM information_schema.STATISTICS
  WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'zet_users5add'
    AND COLUMN_NAME = 'users_id' AND SEQ_IN_INDEX = 1 AND NON_UNIQUE = 0
    AND INDEX_NAME IN (SELECT INDEX_NAME FROM information_schema.STATISTICS
                       WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'zet_users5add'
                       GROUP BY INDEX_NAME HAVING COUNT(*) = 1));
PREPARE step FROM @sql;
EXECUTE step;
DEALLOCATE PREPARE step;

-- zet_testedwork: one row per stored file name.
SET @sql = (SELECT IF(COUNT(*) = 0,
    'ALTER TABLE `zet_testedwork` ADD UNIQUE KEY `bodyFile_unique` (`bodyFile`)',
    'DO 0')
  FROM information_schema.STATISTICS
  WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'zet_testedwork'
    AND COLUMN_NAME = 'bodyFile' AND SEQ_IN_INDEX = 1 AND NON_UNIQUE = 0
    AND INDEX_NAME IN (SELECT INDEX_NAME FROM information_schema.STATISTICS
                       WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'zet_testedwork'
                       GROUP BY INDEX_NAME HAVING COUNT(*) = 1));
PREPARE step FROM @sql;
EXECUTE step;
DEALLOCATE PREPARE step;
