-- One result per task of a work for each expert and period: a sheet is never stored twice, also
-- where the row lock the save takes does not reach every server (a cluster's nodes).
-- Required on a cluster, recommended elsewhere. Safe to run again. Runs on MySQL and MariaDB alike.
--
--   mariadb sorev < services/db/migrations/004_one_sheet_per_expert.sql
--
-- Where an expert's sheet is stored more than once already, the key is not added and nothing
-- fails: the repeated results are listed, one line per task, with what to do. Keep one row per
-- line (the lowest id is the first save; check with the expert when the scores differ), then
-- run this file again.

SELECT 'zet_result: one expert''s result for a task stored more than once; keep one row per line, then run 004 again' AS `to do`,
       `untestedworkID`, `expertID`, `evalutionsystemID`, `periodID`,
       GROUP_CONCAT(`id` ORDER BY `id`) AS `row ids`, GROUP_CONCAT(`estimate` ORDER BY `id`) AS `scores`
  FROM `zet_result` GROUP BY `untestedworkID`, `expertID`, `evalutionsystemID`, `periodID` HAVING COUNT(*) > 1;
SET @duplicates = (SELECT COUNT(*) FROM (SELECT 1 FROM `zet_result`
                   GROUP BY `untestedworkID`, `expertID`, `evalutionsystemID`, `periodID` HAVING COUNT(*) > 1) d);
SET @sql = (SELECT IF(COUNT(*) = 0 AND @duplicates = 0,
    'ALTER TABLE `zet_result` ADD UNIQUE KEY `one_result_per_task` (`untestedworkID`, `expertID`, `evalutionsystemID`, `periodID`)',
    'DO 0')
  FROM information_schema.STATISTICS
  WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'zet_result' AND INDEX_NAME = 'one_result_per_task');
PREPARE step FROM @sql;
EXECUTE step;
DEALLOCATE PREPARE step;
