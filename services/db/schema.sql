-- The tables of the sorev database as the workstation uses them. utf8mb4 throughout; flags the
-- program reads as integers are INT, because the connection hands TINYINT(1) over as a boolean.
SET NAMES utf8mb4;
SET foreign_key_checks = 0;

DROP TABLE IF EXISTS `zet_users`, `zet_users5add`, `zet_academicdegree`, `zet_areas`,
  `zet_periods`, `zet_subjects`, `zet_educationallist`, `zet_userseducation`, `zet_methodology`,
  `zet_measuringmaterials`, `zet_advertisement1`, `zet_permissionuser`, `zet_updatearm`,
  `zet_untestedwork`, `zet_setexpert`, `zet_users4add`, `zet_evaluationsystem`, `zet_result`,
  `zet_appeal`, `zet_testedwork`;

CREATE TABLE `zet_users` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `email` VARCHAR(256) NOT NULL DEFAULT '',
  `password` VARCHAR(256) NOT NULL DEFAULT '',
  `surname` VARCHAR(64) NULL,
  `name` VARCHAR(64) NULL,
  `patronymic` VARCHAR(64) NULL,
  `phone` VARCHAR(32) NULL,
  `roleID` INT NOT NULL,
  `isActive` INT NOT NULL DEFAULT 1,
  `dateLastEnter` DATE NULL,
  KEY `email` (`email`),
  KEY `roleID` (`roleID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_areas` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `name` VARCHAR(128) NOT NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_academicdegree` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `fullName` VARCHAR(128) NOT NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- At most one row per expert: the workstation creates it with an insert that ignores an
-- existing row, so two windows opening at once cannot make two.
CREATE TABLE `zet_users5add` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `users_id` INT NOT NULL,
  `snils` VARCHAR(64) NULL,
  `inn` VARCHAR(64) NULL,
  `document` VARCHAR(64) NULL,
  `seriesDoc` VARCHAR(64) NULL,
  `numberDoc` VARCHAR(64) NULL,
  `dateOfIssueDoc` DATE NULL,
  `IssuedByWhomDoc` VARCHAR(128) NULL,
  `recipientsAccount` VARCHAR(64) NULL,
  `nameOfBank` VARCHAR(128) NULL,
  `KORscore` VARCHAR(64) NULL,
  `BIK` VARCHAR(64) NULL,
  `KPP` VARCHAR(64) NULL,
  `INNbank` VARCHAR(64) NULL,
  `areasID` INT NULL,
  `cyti` VARCHAR(128) NULL,
  `street` VARCHAR(128) NULL,
  `home` VARCHAR(64) NULL,
  `office` VARCHAR(64) NULL,
  `areasReg` VARCHAR(128) NULL,
  `cityReg` VARCHAR(128) NULL,
  `streetReg` VARCHAR(128) NULL,
  `homeReg` VARCHAR(64) NULL,
  `officeReg` VARCHAR(64) NULL,
  `placeOfWork` TEXT NULL,
  `postOfWork` TEXT NULL,
  `academicDegreeID` INT NULL,
  UNIQUE KEY `users_id` (`users_id`),
  KEY `areasID` (`areasID`),
  KEY `academicDegreeID` (`academicDegreeID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_periods` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `name` VARCHAR(128) NOT NULL,
  `active` INT NOT NULL DEFAULT 0,
  KEY `active` (`active`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_subjects` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `name` VARCHAR(255) NOT NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_educationallist` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `nameEdu` VARCHAR(255) NOT NULL,
  `PrefixEncrypt` VARCHAR(32) NULL,
  `ElementarySchool` INT NOT NULL DEFAULT 0,
  `SubjectsID` INT NULL,
  KEY `SubjectsID` (`SubjectsID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- `educationListID` holds a subject area (zet_subjects.id), whatever its name says.
CREATE TABLE `zet_userseducation` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `usersID` INT NOT NULL,
  `educationListID` INT NOT NULL,
  `periodsID` INT NULL,
  KEY `usersID` (`usersID`),
  KEY `educationListID` (`educationListID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_methodology` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `educationlListID` INT NOT NULL,
  `periodID` INT NOT NULL,
  `comment` VARCHAR(512) NULL,
  `bodyFile` VARCHAR(255) NOT NULL,
  KEY `educationlListID` (`educationlListID`),
  KEY `periodID` (`periodID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_measuringmaterials` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `educationlListID` INT NOT NULL,
  `comment` VARCHAR(512) NULL,
  `bodyFile` VARCHAR(255) NOT NULL,
  KEY `educationlListID` (`educationlListID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_advertisement1` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `roleID` INT NOT NULL,
  `isActive` INT NOT NULL DEFAULT 0,
  `BodyAdv` MEDIUMTEXT NULL,
  `ColorCanvas` INT NOT NULL DEFAULT 16777215,
  KEY `roleID` (`roleID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_permissionuser` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `roleID` INT NOT NULL,
  `MenuItem` VARCHAR(64) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin NOT NULL,
  `permission` INT NOT NULL DEFAULT 1,
  KEY `roleID` (`roleID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_updatearm` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `roleID` INT NOT NULL,
  `Version` VARCHAR(64) NOT NULL,
  KEY `roleID` (`roleID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_untestedwork` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `user_id` INT NOT NULL,
  `educationallistID` INT NOT NULL,
  `period_id` INT NOT NULL,
  `areas_id` INT NOT NULL,
  `bodyFile` VARCHAR(255) NOT NULL,
  `checkWork` INT NOT NULL DEFAULT 0,
  KEY `edu_period_area` (`educationallistID`, `period_id`, `areas_id`, `user_id`, `bodyFile`),   -- a discipline's works, read from the index alone
  KEY `user_id` (`user_id`),
  KEY `educationallistID` (`educationallistID`),
  KEY `period_id` (`period_id`),
  KEY `areas_id` (`areas_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_setexpert` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `expertID` INT NOT NULL,
  `userID` INT NOT NULL,
  KEY `expertID` (`expertID`),
  KEY `userID` (`userID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_users4add` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `usersID` INT NOT NULL,
  `classStudy` VARCHAR(16) NULL,
  KEY `usersID` (`usersID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_evaluationsystem` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `periodID` INT NOT NULL,
  `educationlListID` INT NOT NULL,
  `maxestimation` INT NOT NULL,
  `titletask` VARCHAR(512) NOT NULL,
  KEY `periodID` (`periodID`),
  KEY `educationlListID` (`educationlListID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_result` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `educationlListID` INT NULL,
  `periodID` INT NULL,
  `expertID` INT NOT NULL,
  `evalutionsystemID` INT NOT NULL,
  `estimate` INT NOT NULL,
  `commentestimate` TEXT NULL,
  `untestedworkID` INT NOT NULL,
  KEY `expertID` (`expertID`),
  KEY `evalutionsystemID` (`evalutionsystemID`),
  KEY `untestedworkID` (`untestedworkID`),
  KEY `work_expert_period` (`untestedworkID`, `expertID`, `periodID`),   -- "scored by this expert?"
  UNIQUE KEY `one_result_per_task` (`untestedworkID`, `expertID`, `evalutionsystemID`, `periodID`),   -- one sheet, on any server
  KEY `periodID` (`periodID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_appeal` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `usersID` INT NOT NULL,
  `expertID` INT NOT NULL,
  `periodID` INT NOT NULL,
  `educationID` INT NOT NULL,
  `evalutionsystemID` INT NOT NULL,
  `claim` TEXT NULL,
  `answerСlaim` TEXT NULL,
  `fileOrDoc` INT NOT NULL DEFAULT 0,
  KEY `usersID` (`usersID`),
  KEY `expertID` (`expertID`),
  KEY `educationID` (`educationID`),
  KEY `evalutionsystemID` (`evalutionsystemID`),
  KEY `expert_edu_period` (`expertID`, `educationID`, `periodID`),   -- an expert's applicants
  KEY `user_edu_period` (`usersID`, `educationID`, `periodID`)       -- an applicant's claims
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE `zet_testedwork` (
  `id` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `areas_id` INT NULL,
  `user_id` INT NOT NULL,
  `period_id` INT NULL,
  `educationList_id` INT NOT NULL,
  `extFile` VARCHAR(8) NOT NULL DEFAULT 'pdf',
  `bodyFile` VARCHAR(255) NOT NULL,
  UNIQUE KEY `bodyFile` (`bodyFile`),   -- one stored file, one row: a delete never takes another's file
  KEY `edu_period_area` (`educationList_id`, `period_id`, `areas_id`, `user_id`, `bodyFile`),   -- the upload list, read from the index alone
  KEY `user_id` (`user_id`),
  KEY `educationList_id` (`educationList_id`),
  KEY `period_id` (`period_id`),
  KEY `areas_id` (`areas_id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

SET foreign_key_checks = 1;
