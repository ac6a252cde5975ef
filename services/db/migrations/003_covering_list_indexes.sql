-- The discipline's works and the upload list read their rows from the list index alone: the
-- index made by 002 gains the participant and the stored file's name. Safe to run again: an
-- index that has them already is left alone. Runs on MySQL and MariaDB alike.
--
--   mariadb sorev < services/db/migrations/003_covering_list_indexes.sql

DROP PROCEDURE IF EXISTS vardex_widen_index;
DELIMITER //
CREATE PROCEDURE vardex_widen_index(IN tbl VARCHAR(64), IN idx VARCHAR(64), IN cols VARCHAR(255), IN wanted INT)
BEGIN
  DECLARE have INT;
  SELECT COUNT(*) INTO have FROM information_schema.STATISTICS
   WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = tbl AND INDEX_NAME = idx;
  IF have <> wanted THEN
    SET @sql = CONCAT('ALTER TABLE `', tbl, '` ', IF(have > 0, CONCAT('DROP KEY `', idx, '`, '), ''),
                      'ADD KEY `', idx, '` (', cols, ')');
    PREPARE step FROM @sql;
    EXECUTE step;
    DEALLOCATE PREPARE step;
  END IF;
END//
DELIMITER ;

CALL vardex_widen_index('zet_untestedwork', 'edu_period_area',
                        '`educationallistID`, `period_id`, `areas_id`, `user_id`, `bodyFile`', 5);
CALL vardex_widen_index('zet_testedwork', 'edu_period_area',
                        '`educationList_id`, `period_id`, `areas_id`, `user_id`, `bodyFile`', 5);

DROP PROCEDURE vardex_widen_index;
