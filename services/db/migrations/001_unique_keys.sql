-- Unique keys for a database made before they existed. Optional: the workstation works without
-- them (it reserves each upload's name itself). They only keep other programs from writing a
-- second additional-data row for an expert or a second row for one stored file.
-- Safe to run again: a key already there is left alone. Runs on MySQL and MariaDB alike.
--
--   mariadb sorev < services/db/migrations/001_unique_keys.sql
--
-- Where rows already share a value (a centre's older names were reissued after deletions), the
-- key is not added and nothing fails: the rows are listed, one line per shared value, with what
-- to do. Settle them (keep one row per value, or give the others their own names and files),
-- then run this file again.

-- zet_users5add: at most one row of additional data per expert.
SELECT 'zet_users5add: several rows for one expert; keep one row per users_id, then run 001 again' AS `to do`,
       `users_id`, GROUP_CONCAT(`id` ORDER BY `id`) AS `row ids`
  FROM `zet_users5add` GROUP BY `users_id` HAVING COUNT(*) > 1;
SET @duplicates = (SELECT COUNT(*) FROM (SELECT 1 FROM `zet_users5add` GROUP BY `users_id` HAVING COUNT(*) > 1) d);
SET @sql = (SELECT IF(COUNT(*) = 0 AND @duplicates = 0,
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
SELECT 'zet_testedwork: several rows name one file; keep the row the file belongs to, then run 001 again' AS `to do`,
       `bodyFile`, GROUP_CONCAT(`id` ORDER BY `id`) AS `row ids`
  FROM `zet_testedwork` GROUP BY `bodyFile` HAVING COUNT(*) > 1;
SET @duplicates = (SELECT COUNT(*) FROM (SELECT 1 FROM `zet_testedwork` GROUP BY `bodyFile` HAVING COUNT(*) > 1) d);
SET @sql = (SELECT IF(COUNT(*) = 0 AND @duplicates = 0,
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
