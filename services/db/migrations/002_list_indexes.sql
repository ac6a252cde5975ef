-- Indexes that keep the lists fast at a whole region's size (the discipline's works, the upload
-- list, "scored by this expert?", the appeals). Safe to run again: an index already there by
-- its name is left alone. Runs on MySQL and MariaDB alike.
--
--   mariadb sorev < services/db/migrations/002_list_indexes.sql

DROP PROCEDURE IF EXISTS vardex_add_index;
DELIMITER //
CREATE PROCEDURE vardex_add_index(IN tbl VARCHAR(64), IN idx VARCHAR(64), IN cols VARCHAR(255))
BEGIN
  IF NOT EXISTS (SELECT 1 FROM information_schema.STATISTICS
                 WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = tbl AND INDEX_NAME = idx) THEN
    SET @sql = CONCAT('ALTER TABLE `', tbl, '` ADD KEY `', idx, '` (', cols, ')');
    PREPARE step FROM @sql;
    EXECUTE step;
    DEALLOCATE PREPARE step;
  END IF;
END//
DELIMITER ;

CALL vardex_add_index('zet_untestedwork', 'edu_period_area', '`educationallistID`, `period_id`, `areas_id`');
CALL vardex_add_index('zet_testedwork', 'edu_period_area', '`educationList_id`, `period_id`, `areas_id`');
CALL vardex_add_index('zet_result', 'work_expert_period', '`untestedworkID`, `expertID`, `periodID`');
CALL vardex_add_index('zet_appeal', 'expert_edu_period', '`expertID`, `educationID`, `periodID`');
CALL vardex_add_index('zet_appeal', 'user_edu_period', '`usersID`, `educationID`, `periodID`');

DROP PROCEDURE vardex_add_index;
