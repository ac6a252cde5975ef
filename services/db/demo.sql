-- Demo data: a small regional stage with one active and one past period.
-- Demo experts (login / password): expert@vetlan.test / Demo2023, expert2@vetlan.test / Demo2024.
SET NAMES utf8mb4;

INSERT INTO `zet_periods` (`id`, `name`, `active`) VALUES
  (1, '2022/2023 учебный год', 0),
  (2, '2023/2024 учебный год', 1);

INSERT INTO `zet_areas` (`id`, `name`) VALUES
  (1, 'Центральный район'), (2, 'Заречный район'), (3, 'Октябрьский район'),
  (4, 'Приморский район'), (5, 'Северный район'), (10, 'Город областного значения');

INSERT INTO `zet_academicdegree` (`id`, `fullName`) VALUES
  (1, 'Без степени'), (2, 'Кандидат наук'), (3, 'Доктор наук');

INSERT INTO `zet_subjects` (`id`, `name`) VALUES
  (1, 'Математика'), (2, 'Физика'), (3, 'Русский язык'), (4, 'История');

INSERT INTO `zet_educationallist` (`id`, `nameEdu`, `PrefixEncrypt`, `ElementarySchool`, `SubjectsID`) VALUES
  (1, 'Математика 9 класс', 'MA9', 0, 1),
  (2, 'Математика 11 класс', 'MA11', 0, 1),
  (3, 'Физика 10 класс', 'PH10', 0, 2),
  (4, 'Русский язык 9 класс', 'RU9', 0, 3),
  (5, 'Математика 4 класс', 'MA4', 1, 1),
  (6, 'История 10 класс', 'HI10', 0, 4);

-- Experts (role 5): the first has everything set up, the second starts from scratch.
-- Participants (role 4) own the works and appeals; they cannot log in here.
INSERT INTO `zet_users` (`id`, `email`, `password`, `surname`, `name`, `patronymic`, `phone`, `roleID`, `isActive`) VALUES
  (1, 'expert@vetlan.test', '$2a$10$3rqoikcPkDbQ8/X/lg8Szefd436gh2J2gb/OGkKfEF3EE0iPEV.Bq', 'Соколова', 'Мария', 'Ивановна', '(+7)9001234567', 5, 1),
  (2, 'expert2@vetlan.test', '$2a$10$wIBBWjr677GcBe0JcN8uIeL.zNaDvVKcUnyok.deTqP49cwYxt0Je', 'Петров', 'Алексей', 'Сергеевич', NULL, 5, 1),
  (3, 'blocked@vetlan.test', '$2a$10$wIBBWjr677GcBe0JcN8uIeL.zNaDvVKcUnyok.deTqP49cwYxt0Je', 'Орлов', 'Игорь', 'Петрович', NULL, 5, 0),
  (1001, 'p1001@school.test', '$2a$10$G2N7sodyb30aCKurjdh.1eXiXWDNZokTya3x6fGnIVqpiZLaROruK', 'Иванов', 'Иван', 'Иванович', NULL, 4, 1),
  (1002, 'p1002@school.test', '$2a$10$G2N7sodyb30aCKurjdh.1eXiXWDNZokTya3x6fGnIVqpiZLaROruK', 'Кузнецова', 'Анна', 'Петровна', NULL, 4, 1),
  (1003, 'p1003@school.test', '$2a$10$G2N7sodyb30aCKurjdh.1eXiXWDNZokTya3x6fGnIVqpiZLaROruK', 'Смирнов', 'Дмитрий', 'Олегович', NULL, 4, 1),
  (1004, 'p1004@school.test', '$2a$10$G2N7sodyb30aCKurjdh.1eXiXWDNZokTya3x6fGnIVqpiZLaROruK', 'Васильева', 'Елена', 'Андреевна', NULL, 4, 1),
  (1005, 'p1005@school.test', '$2a$10$G2N7sodyb30aCKurjdh.1eXiXWDNZokTya3x6fGnIVqpiZLaROruK', 'Попов', 'Артём', 'Викторович', NULL, 4, 1),
  (1006, 'p1006@school.test', '$2a$10$G2N7sodyb30aCKurjdh.1eXiXWDNZokTya3x6fGnIVqpiZLaROruK', 'Новикова', 'Ольга', 'Игоревна', NULL, 4, 1),
  (1007, 'p1007@school.test', '$2a$10$G2N7sodyb30aCKurjdh.1eXiXWDNZokTya3x6fGnIVqpiZLaROruK', 'Морозов', 'Кирилл', 'Денисович', NULL, 4, 1),
  (1008, 'p1008@school.test', '$2a$10$G2N7sodyb30aCKurjdh.1eXiXWDNZokTya3x6fGnIVqpiZLaROruK', 'Лебедева', 'Софья', 'Максимовна', NULL, 4, 1);

INSERT INTO `zet_users4add` (`usersID`, `classStudy`) VALUES
  (1001, '9'), (1002, '9'), (1003, '11'), (1004, '11'), (1005, '10'), (1006, '10'), (1007, '9'), (1008, '11');

INSERT INTO `zet_users5add` (`users_id`, `snils`, `inn`, `document`, `seriesDoc`, `numberDoc`, `dateOfIssueDoc`, `IssuedByWhomDoc`, `areasID`, `cyti`, `street`, `home`, `office`, `placeOfWork`, `postOfWork`, `academicDegreeID`) VALUES
  (1, '123-456-789 00', '770123456789', 'Паспорт', '4510', '123456', '2015-06-01', 'ОВД Центрального района', 1, 'Вишнёвск', 'ул. Ленина', '12', '34', 'Лицей № 1', 'Учитель математики', 2);

-- Subject areas the first expert has chosen (the second chooses in the demo).
INSERT INTO `zet_userseducation` (`usersID`, `educationListID`, `periodsID`) VALUES
  (1, 1, 2), (1, 2, 2);

-- Scanned works of the active period (files under untestedwork/ on the file server) and one of the past period;
-- participant 1001 has works in two disciplines, both for the first expert.
INSERT INTO `zet_untestedwork` (`id`, `user_id`, `educationallistID`, `period_id`, `areas_id`, `bodyFile`, `checkWork`) VALUES
  (1, 1001, 1, 2, 1, 'MA9_1_2_1001.pdf', 0),
  (2, 1002, 1, 2, 2, 'MA9_1_2_1002.pdf', 0),
  (3, 1007, 1, 2, 3, 'MA9_1_2_1007.pdf', 0),
  (4, 1003, 2, 2, 1, 'MA11_2_2_1003.pdf', 0),
  (5, 1004, 2, 2, 4, 'MA11_2_2_1004.pdf', 0),
  (6, 1008, 2, 2, 10, 'MA11_2_2_1008.pdf', 0),
  (7, 1005, 3, 2, 5, 'PH10_3_2_1005.pdf', 0),
  (8, 1006, 3, 2, 2, 'PH10_3_2_1006.pdf', 0),
  (9, 1001, 1, 1, 1, 'MA9_1_1_1001.pdf', 1),
  (10, 1001, 2, 2, 1, 'MA11_2_2_1001.pdf', 0);

INSERT INTO `zet_setexpert` (`expertID`, `userID`) VALUES
  (1, 1001), (1, 1002), (1, 1003), (1, 1004), (1, 1007),
  (2, 1005), (2, 1006), (2, 1008);

-- Tasks with their maximum scores (a task worth 0 points included).
INSERT INTO `zet_evaluationsystem` (`id`, `periodID`, `educationlListID`, `maxestimation`, `titletask`) VALUES
  (1, 2, 1, 5, 'Задание 1. Вычислите значение выражения'),
  (2, 2, 1, 7, 'Задание 2. Решите уравнение'),
  (3, 2, 1, 10, 'Задание 3. Геометрическая задача'),
  (4, 2, 1, 0, 'Задание 4. Черновик (не оценивается)'),
  (5, 2, 2, 8, 'Задание 1. Найдите производную'),
  (6, 2, 2, 12, 'Задание 2. Исследуйте функцию'),
  (7, 2, 2, 15, 'Задание 3. Стереометрия'),
  (8, 2, 3, 6, 'Задание 1. Кинематика'),
  (9, 2, 3, 9, 'Задание 2. Законы Ньютона'),
  (10, 1, 1, 5, 'Задание 1 прошлого года');

-- Appeals: typed in (fileOrDoc 0) and filed as a document (fileOrDoc 1, appeal/<participant>_<period>_<discipline>.docx).
INSERT INTO `zet_appeal` (`usersID`, `expertID`, `periodID`, `educationID`, `evalutionsystemID`, `claim`, `answerСlaim`, `fileOrDoc`) VALUES
  (1001, 1, 2, 1, 1, 'Прошу пересмотреть оценку: ответ верный, записан в другой форме.', NULL, 0),
  (1001, 1, 2, 1, 2, 'Не учтено второе решение уравнения.', '', 0),
  (1002, 1, 2, 1, 3, 'Заявление приложено файлом.', NULL, 1),
  (1003, 1, 2, 2, 5, 'Производная найдена верно, прошу добавить балл.', NULL, 0),
  (1003, 1, 2, 2, 6, 'Заявление приложено файлом.', NULL, 1);

INSERT INTO `zet_methodology` (`educationlListID`, `periodID`, `comment`, `bodyFile`) VALUES
  (1, 2, 'Методические рекомендации по проверке', 'metod_MA9_2024.pdf'),
  (2, 2, 'Критерии оценивания', 'metod_MA11_2024.pdf'),
  (3, 2, 'Рекомендации жюри', 'metod PH10 2024.pdf'),
  (1, 1, 'Методические рекомендации прошлого года', 'metod_MA9_2023.pdf');

INSERT INTO `zet_measuringmaterials` (`educationlListID`, `comment`, `bodyFile`) VALUES
  (1, 'Задания регионального этапа', 'kim_MA9.pdf'),
  (1, 'Ответы и решения', 'kim_MA9_answers.pdf'),
  (2, 'Задания регионального этапа', 'kim_MA11.pdf'),
  (3, 'Задания регионального этапа', 'kim_PH10.pdf');

INSERT INTO `zet_advertisement1` (`roleID`, `isActive`, `BodyAdv`, `ColorCanvas`) VALUES
  (5, 1, '{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset204 Tahoma;}}{\\colortbl;\\red0\\green0\\blue128;\\red192\\green0\\blue0;}\\pard\\f0\\fs32\\cf1\\b \\\'d3\\\'e2\\\'e0\\\'e6\\\'e0\\\'e5\\\'ec\\\'fb\\\'e5 \\\'fd\\\'ea\\\'f1\\\'ef\\\'e5\\\'f0\\\'f2\\\'fb!\\b0\\par\\pard\\fs24\\cf0 \\\'cf\\\'f0\\\'ee\\\'e2\\\'e5\\\'f0\\\'ea\\\'e0 \\\'f0\\\'e0\\\'e1\\\'ee\\\'f2 \\\'f0\\\'e5\\\'e3\\\'e8\\\'ee\\\'ed\\\'e0\\\'eb\\\'fc\\\'ed\\\'ee\\\'e3\\\'ee \\\'fd\\\'f2\\\'e0\\\'ef\\\'e0 \\\'e7\\\'e0\\\'e2\\\'e5\\\'f0\\\'f8\\\'e0\\\'e5\\\'f2\\\'f1\\\'ff \\cf2\\b 25 \\\'e4\\\'e5\\\'ea\\\'e0\\\'e1\\\'f0\\\'ff\\b0\\cf0 .\\par\\pard\\i \\\'ca\\\'ee\\\'ec\\\'ec\\\'e5\\\'ed\\\'f2\\\'e0\\\'f0\\\'e8\\\'e9 \\\'ee\\\'e1\\\'ff\\\'e7\\\'e0\\\'f2\\\'e5\\\'eb\\\'e5\\\'ed \\\'e4\\\'eb\\\'ff \\\'ea\\\'e0\\\'e6\\\'e4\\\'ee\\\'e3\\\'ee \\\'e7\\\'e0\\\'e4\\\'e0\\\'ed\\\'e8\\\'ff \\\'ed\\\'e8\\\'e6\\\'e5 \\\'ec\\\'e0\\\'ea\\\'f1\\\'e8\\\'ec\\\'e0\\\'eb\\\'fc\\\'ed\\\'ee\\\'e3\\\'ee \\\'e1\\\'e0\\\'eb\\\'eb\\\'e0.\\i0\\par}', 15792383);

INSERT INTO `zet_permissionuser` (`roleID`, `MenuItem`, `permission`) VALUES
  (5, 'N132', 1),
  (4, 'N33', 0);

INSERT INTO `zet_updatearm` (`roleID`, `Version`) VALUES
  (5, 'v3.0.0 build 2');
