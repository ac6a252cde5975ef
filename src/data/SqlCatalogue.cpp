#include "data/SqlCatalogue.h"

#include <QRegularExpression>

namespace {

ParamDecl integer(const char *name) { return {QString::fromUtf8(name), ParamKind::Integer, 0}; }
ParamDecl text(const char *name, int size = 0) { return {QString::fromUtf8(name), ParamKind::String, size}; }
ParamDecl memo(const char *name, int size) { return {QString::fromUtf8(name), ParamKind::Memo, size}; }
ParamDecl date(const char *name) { return {QString::fromUtf8(name), ParamKind::Date, 0}; }

QStringList lines(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *l : list)
        out << QString::fromUtf8(l);
    return out;
}

// The expert's disciplines: one statement, one query object per window that lists them.
const char *const kExpertDisciplinesA =
    "SELECT `id`,`nameEdu`  FROM `zet_educationallist`  WHERE `ElementarySchool`=0  AND `SubjectsID` in  "
    "(SELECT `id` FROM `zet_subjects` WHERE `id` in  (SELECT `educationListID` FROM `zet_userseducation` WHERE `usersID`=:userID))";
const char *const kExpertDisciplinesB =
    "SELECT `id`,`nameEdu` FROM `zet_educationallist` WHERE `ElementarySchool`=0 AND `SubjectsID` in "
    "(SELECT `id` FROM `zet_subjects` WHERE `id` in (SELECT `educationListID` FROM `zet_userseducation` WHERE `usersID`=:userID))";

#define ACTIVE_PERIOD "(SELECT `id` FROM `zet_periods` WHERE `active`=1)"

// The expert's works of the active period as the scoring list counts them, and how many of those
// carry the expert's results.
#define PROGRESS_OF_EXPERT                                                                                            \
    "SELECT COUNT(*) AS `assigned`, COALESCE(SUM(EXISTS (SELECT 1 FROM `zet_result` I WHERE "                         \
    "I.`untestedworkID`=A.`id` and I.`periodID`=A.`period_id` and I.`expertID`=B.`expertID`)),0) AS `scored` "        \
    "FROM `zet_untestedwork` A,`zet_setexpert` B,`zet_educationallist` C, `zet_users4add` D WHERE "                  \
    "D.`usersID`=A.`user_id` and B.`expertID`=:userID and C.id = A.`educationallistID` and "                          \
    "B.`userID`=A.`user_id` and A.`period_id`=" ACTIVE_PERIOD

QList<QueryDef> build()
{
    QList<QueryDef> c;
    // Login and passwords
    c.append({"Qauthorization",
              // Candidates by the column's own comparison, which uses the address index and is
              // valid in any character set; the exact choice among them is made by the caller
              // (the stored address exactly, else the one that differs in ASCII letter case only).
              lines({"SELECT `id`,`password`,`email`,",
                     "concat(`surname`,' ',`name`,' ',`patronymic`) as fio",
                     "FROM `zet_users`",
                     "WHERE `email`=:login",
                     "and `roleID`=5",
                     "and `isActive`>0"}),
              {text("LOGIN", 128)}});
    c.append({"LastEnter",
              lines({"UPDATE `zet_users`", "SET `dateLastEnter`=:LastEnter", "WHERE `id`=:UserID"}),
              {date("LASTENTER"), integer("USERID")}});
    c.append({"newPassword",
              lines({"UPDATE `zet_users` SET `password`=:NEWpassword WHERE `id`=:id"}),
              {text("NEWPASSWORD", 256), text("id")}});
    c.append({"ForgotPassword",
              lines({"SELECT `password`,`id`,`email` FROM `zet_users` WHERE `email`=:LOGINS"}),
              {text("LOGINS", 256)}});

    // Personal and additional data
    c.append({"GeneralData",
              lines({"SELECT `surname`,`name`,`patronymic`,`phone`,`email` FROM `zet_users` WHERE `id`=:userID"}),
              {integer("userID")}});
    c.append({"GeneralDataUPD",
              lines({"UPDATE `zet_users` SET `surname`=:surname,`name`=:name,`patronymic`=:patronymic,`phone`=:phone WHERE `id`=:id"}),
              {text("surname", 64), text("name", 64), text("patronymic", 64), text("phone", 32), integer("id")}});
    c.append({"GETSubjectsEXPadd",
              lines({"SELECT `snils`, `inn`, `placeOfWork`, `postOfWork`, `recipientsAccount`, `nameOfBank`, `KORscore`, "
                     "`BIK`, `KPP`, `INNbank`, `document`, `seriesDoc`, `numberDoc`, `dateOfIssueDoc`, `IssuedByWhomDoc`, "
                     "`academicDegreeID`, `areasID`, `cyti`, `street`, `home`, `office`, `areasReg`, `cityReg`, `streetReg`, "
                     "`homeReg`, `officeReg` FROM `zet_users5add` WHERE `users_id`=:userID"}),
              {integer("userID")}});
    c.append({"UPDadress",
              lines({"UPDATE `zet_users5add` SET `areasID`=:areaID,`cyti`=:cyti, `street`=:street,`home`=:home,`office`=:office, "
                     "`areasReg`=:areasReg, `cityReg`=:cityReg,`streetReg`=:streetReg, `homeReg`=:homeReg,`officeReg`=:officeReg "
                     "WHERE `users_id`=:userID"}),
              {integer("areaID"), text("cyti", 128), text("street", 128), text("home", 64), text("office", 64),
               text("areasReg", 128), text("cityReg", 128), text("streetReg", 128), text("homeReg", 64),
               text("officeReg", 64), integer("userID")}});
    c.append({"UPDbank",
              lines({"UPDATE `zet_users5add` SET `recipientsAccount`=:recipientsAccount, `nameOfBank`=:nameOfBank,"
                     "`KORscore`=:KORscore,`BIK`=:BIK,`KPP`=:KPP, `INNbank`=:INNbank WHERE `users_id`=:userID"}),
              {text("recipientsAccount", 64), text("nameOfBank", 128), text("KORscore", 64), text("BIK", 64),
               text("KPP", 64), text("INNbank", 64), integer("userID")}});
    c.append({"UPDpassport",
              lines({"UPDATE `zet_users5add` SET `snils`=:snils,`inn`=:inn, `document`=:document,`seriesDoc`=:seriesDoc,"
                     "`numberDoc`=:numberDoc, `dateOfIssueDoc`=:dateOfIssueDoc,`IssuedByWhomDoc`=:IssuedByWhomDoc "
                     "WHERE `users_id`=:userID"}),
              {text("snils", 64), text("inn", 64), text("document", 64), text("seriesDoc", 64), text("numberDoc", 64),
               date("dateOfIssueDoc"), text("IssuedByWhomDoc", 128), integer("userID")}});
    c.append({"UPDpost",
              lines({"UPDATE `zet_users5add` SET `placeOfWork`=:placeOfWork, `postOfWork`=:postOfWork, "
                     "`academicDegreeID`=:degreeID WHERE `users_id`=:userID"}),
              {text("placeOfWork"), text("postOfWork"), integer("degreeID"), integer("userID")}});
    c.append({"GETarea", lines({"SELECT `id`,`name` FROM `zet_areas` order by `name`"}), {}});
    c.append({"academicdegree", lines({"SELECT `id`,`fullName` FROM `zet_academicdegree` order by `fullName`"}), {}});

    // Subject areas
    c.append({"GETallSubjectsEXP", lines({"SELECT `id`,`name` FROM `zet_subjects` order by `name`"}), {}});
    c.append({"GETSubjectsEXP",
              lines({"SELECT `educationListID` FROM `zet_userseducation` WHERE `usersID`=:userID"}),
              {integer("userID")}});

    // Materials
    c.append({"GETmethod",
              lines({"SELECT C.`name`,B.`nameEdu`,A.`comment`,A.`bodyFile`  FROM `zet_methodology` A , `zet_educationallist` B, "
                     "`zet_periods` C WHERE A.`educationlListID`=B.`id` and A.`periodID`=C.`id`",
                     "ORDER BY C.`name`,B.`nameEdu`"}),
              {}});
    c.append({"GETeduExp", lines({kExpertDisciplinesA, "order by `nameEdu`"}), {integer("userID")}});
    c.append({"GETmeasuring",
              lines({"SELECT `comment`,`bodyFile` FROM `zet_measuringmaterials` WHERE `educationlListID`=:eduID"}),
              {integer("eduID")}});

    // Unchecked works
    c.append({"EDUworkLoadOriginal", lines({kExpertDisciplinesB, "order by `nameEdu`"}), {integer("userID")}});
    c.append({"GETloadWork",
              lines({"select C.`name`, concat(A.`surname`,' ',A.`name`,' ',A.`patronymic`) as fio, B.`bodyFile`,A.`id` "
                     "from  `zet_users` A, `zet_untestedwork` B,`zet_areas` C WHERE B.`period_id`=" ACTIVE_PERIOD
                     " and B.`educationallistID`=:eduID and C.`id`=B.`areas_id` and A.id=B.`user_id`",
                     "order by fio"}),
              {integer("eduID")}});

    // Scoring
    c.append({"GETestimate",
              lines({"SELECT C.`PrefixEncrypt`, D.`classStudy`,A.`user_id`, A.`id` FROM `zet_untestedwork` A,`zet_setexpert` B,"
                     "`zet_educationallist` C, `zet_users4add` D WHERE D.`usersID`=A.`user_id` and B.`expertID`=:userID and "
                     "C.id = A.`educationallistID` and B.`userID`=A.`user_id` and A.`period_id`=" ACTIVE_PERIOD " and "
                     "NOT EXISTS (SELECT 1 FROM `zet_result` I WHERE I.`untestedworkID`=A.`id` and "
                     "I.`periodID`=" ACTIVE_PERIOD " and I.`expertID`=B.`expertID`)",
                     // classes by number (9 before 11), then any text the number does not tell apart;
                     // works of one class always in one order: by the work code
                     "order by  CAST(D.`classStudy` AS UNSIGNED), D.`classStudy`, A.`user_id`, A.`id`"}),
              {integer("userID")}});
    c.append({"GETestimateWork",
              lines({"SELECT `id`,`maxestimation`,`titletask` FROM `zet_evaluationsystem` WHERE `periodID`=" ACTIVE_PERIOD
                     " and `educationlListID`=(SELECT `educationallistID` from `zet_untestedwork` where `id`=:untestID) "
                     "order by `id` DESC"}),
              {integer("untestID")}});
    // the expert's own comments on the tasks of a work's discipline: per task the most used few,
    // counted by the server (an expert's years of comments never come over the link whole),
    // the most used first, then the newest
    c.append({"GETexpertComments",
              lines({"SELECT `task`, `comment` FROM (SELECT `evalutionsystemID` AS `task`, TRIM(`commentestimate`) AS `comment`, "
                     "ROW_NUMBER() OVER (PARTITION BY `evalutionsystemID` ORDER BY COUNT(*) DESC, MAX(`id`) DESC) AS `place` "
                     "FROM `zet_result` WHERE `expertID`=:userID and TRIM(`commentestimate`)<>'' and `evalutionsystemID` IN "
                     "(SELECT `id` FROM `zet_evaluationsystem` WHERE `periodID`=" ACTIVE_PERIOD " and `educationlListID`="
                     "(SELECT `educationallistID` from `zet_untestedwork` where `id`=:untestID)) "
                     "GROUP BY `evalutionsystemID`, TRIM(`commentestimate`)) R WHERE `place`<=:most",
                     "order by `task`, `place`"}),
              {integer("userID"), integer("untestID"), integer("most")}});
    c.append({"INSestimate",
              lines({"INSERT INTO `zet_result`(`educationlListID`, `periodID`, `expertID`, `evalutionsystemID`, `estimate`, "
                     "`commentestimate`, `untestedworkID`) VALUES ((SELECT `educationallistID` from `zet_untestedwork` where "
                     "`id`=:untestID1), " ACTIVE_PERIOD ", :userID,:evalutionID,:estimate,:commentestimate,:untestID2)"}),
              {integer("untestID1"), integer("userID"), integer("evalutionID"), integer("estimate"),
               memo("commentestimate", 500), integer("untestID2")}});
    c.append({"checkWork", lines({"UPDATE `zet_untestedwork` SET `checkWork`=1 WHERE `id`=:untestID"}), {integer("untestID")}});
    // Inside the save transaction: hold the work row, then look for this expert's results, so
    // that two workstations cannot both score one work.
    c.append({"lockUntestedWork", lines({"SELECT `id` FROM `zet_untestedwork` WHERE `id`=:untestID FOR UPDATE"}),
              {integer("untestID")}});
    c.append({"GETworkResults",
              lines({"SELECT COUNT(*) AS `countResult` FROM `zet_result` WHERE `untestedworkID`=:untestID and "
                     "`expertID`=:userID and `periodID`=" ACTIVE_PERIOD}),
              {integer("untestID"), integer("userID")}});

    // The grader's bench: where a work's scan lives, and how far the expert has got.
    // whose work it is and in which discipline: the checked copy goes up as that participant's
    c.append({"GETcheckedWork",
              lines({"SELECT B.`educationallistID`, B.`user_id`, C.`nameEdu`, C.`PrefixEncrypt`, B.`period_id`, D.`classStudy` "
                     "FROM `zet_untestedwork` B JOIN `zet_educationallist` C ON C.`id`=B.`educationallistID` "
                     "LEFT JOIN `zet_users4add` D ON D.`usersID`=B.`user_id` WHERE B.`id`=:untestID"}),
              {integer("untestID")}});
    c.append({"GETworkFile",
              lines({"SELECT B.`bodyFile`, C.`nameEdu`, concat(A.`surname`,' ',A.`name`,' ',A.`patronymic`) as fio "
                     "FROM `zet_untestedwork` B, `zet_users` A, `zet_educationallist` C WHERE B.`id`=:untestID and "
                     "A.`id`=B.`user_id` and C.`id`=B.`educationallistID`"}),
              {integer("untestID")}});
    c.append({"GETprogressExpert", lines({PROGRESS_OF_EXPERT}), {integer("userID")}});
    c.append({"GETprogressDiscipline",
              lines({PROGRESS_OF_EXPERT " and A.`educationallistID`=(SELECT `educationallistID` FROM `zet_untestedwork` "
                     "WHERE `id`=:untestID)"}),
              {integer("userID"), integer("untestID")}});

    // Checked works
    c.append({"EDUUploadWork", lines({kExpertDisciplinesB, "order by `nameEdu`"}), {integer("userID")}});
    c.append({"AreaUploadWork", lines({"SELECT `id`,`name` FROM `zet_areas` order by `name`"}), {}});
    c.append({"GETareaID1",
              lines({"SELECT `areas_id` FROM `zet_untestedwork` WHERE `user_id`=:userID and `period_id`=" ACTIVE_PERIOD
                     " and `educationallistID`=:eduID"}),
              {integer("userID"), integer("eduID")}});
    c.append({"GETuploadCheckWork0",
              lines({"SELECT A.`id`, C.`name`,A.`user_id`,concat(B.`surname`,' ',B.`name`,' ',`patronymic`) as fio, A.`bodyFile` "
                     "FROM `zet_testedwork` A,`zet_users` B, `zet_areas` C WHERE A.`educationList_id`=:educationlListID and "
                     "A.`period_id`=" ACTIVE_PERIOD " and A.`user_id`=B.`id` and A.`areas_id`=C.`id`",
                     "order by fio"}),
              {integer("educationlListID")}});
    c.append({"GETuploadCheckWorkA",
              lines({"SELECT A.`id`, C.`name`,A.`user_id`,concat(B.`surname`,' ',B.`name`,' ',`patronymic`) as fio, A.`bodyFile` "
                     "FROM `zet_testedwork` A,`zet_users` B, `zet_areas` C WHERE A.`areas_id`=:areaID and "
                     "A.`educationList_id`=:educationlListID and A.`period_id`=" ACTIVE_PERIOD " and A.`user_id`=B.`id` and "
                     "A.`areas_id`=C.`id`",
                     "order by fio"}),
              {integer("areaID"), integer("educationlListID")}});
    // The sequence number is one above the highest stored one (the digits between the last "_"
    // and the "."), so a name freed by a deletion is never given out again.
    c.append({"GETnameFileCheckWork",
              lines({"select concat((SELECT `PrefixEncrypt` FROM `zet_educationallist` WHERE `id`=:EduID), '_',:EduID1, '_', "
                     ACTIVE_PERIOD ", '_', :UserID, '_', (SELECT COALESCE(MAX(CAST(SUBSTRING_INDEX(SUBSTRING_INDEX("
                     "`bodyFile`,'_',-1),'.',1) AS UNSIGNED)),0)+1 FROM `zet_testedwork` WHERE `user_id`=:UserID1 "
                     "and `period_id`=" ACTIVE_PERIOD " and `educationList_id`=:EduID2),'.pdf') as namefile"}),
              {integer("EduID"), integer("EduID1"), integer("UserID"), integer("UserID1"), integer("EduID2")}});
    c.append({"INScheckWork",
              lines({"INSERT INTO `zet_testedwork`(`areas_id`, `user_id`, `period_id`, `educationList_id`, `extFile`, `bodyFile`) "
                     "VALUES (:areaID,:userID, " ACTIVE_PERIOD ", :eduID,'pdf',:newNameFile)"}),
              {integer("areaID"), integer("userID"), integer("eduID"), text("newNameFile", 255)}});
    // Upload names of one participant in one discipline are handed out one workstation at a time:
    // the name is reserved by its row before the file is sent. A named lock, since the
    // participant may have no row yet to lock.
    c.append({"lockStoredNames", lines({"SELECT GET_LOCK(CONCAT('vardex-upload:',:EduID,':',:UserID),:waitSeconds) AS `locked`"}),
              {integer("EduID"), integer("UserID"), integer("waitSeconds")}});
    c.append({"unlockStoredNames", lines({"SELECT RELEASE_LOCK(CONCAT('vardex-upload:',:EduID,':',:UserID)) AS `released`"}),
              {integer("EduID"), integer("UserID")}});
    c.append({"GETlastInsertId", lines({"SELECT LAST_INSERT_ID() AS `id`"}), {}});
    c.append({"renameCheckWork", lines({"UPDATE `zet_testedwork` SET `bodyFile`=:newNameFile WHERE `id`=:id"}),
              {text("newNameFile", 255), integer("id")}});
    c.append({"GETcheckWorkByName",
              lines({"SELECT COUNT(*) AS `countRows` FROM `zet_testedwork` WHERE `bodyFile`=:nameFile"}),
              {text("nameFile", 255)}});
    c.append({"deleteCheckWorkRun", lines({"DELETE FROM `zet_testedwork` WHERE `id`=:id"}), {integer("id")}});
    c.append({"GETuploadRow", lines({"SELECT `id` FROM `zet_testedwork` WHERE `id`=:id"}), {integer("id")}});

    // Appeals
    c.append({"EDUdiplom", lines({kExpertDisciplinesA, "order by `nameEdu`"}), {integer("userID")}});
    c.append({"GETappealAnswerList",
              lines({"SELECT  DISTINCT  A.`usersID`,  concat(B.`surname`,' ',B.`name`,' ',`patronymic`) as fio, A.`fileOrDoc` "
                     "FROM `zet_appeal` A,`zet_users` B WHERE `periodID`=" ACTIVE_PERIOD " and `educationID`=:eduID and "
                     "A.`expertID`=:expID and B.`id`=A.`usersID`",
                     "order by fio"}),
              {integer("eduID"), integer("expID")}});
    // the applicant's work beside the claims: its scan, and the scores and comments it was given
    c.append({"GETappealWork",
              lines({"SELECT W.`id`, W.`bodyFile`, E.`nameEdu`, E.`PrefixEncrypt` FROM `zet_untestedwork` W, "
                     "`zet_educationallist` E WHERE W.`user_id`=:userID and W.`educationallistID`=:eduID and "
                     "W.`period_id`=" ACTIVE_PERIOD " and E.`id`=W.`educationallistID`",
                     "order by W.`id` DESC"}),
              {integer("userID"), integer("eduID")}});
    // each expert's results apart, named: a work scored by two experts is two sheets
    c.append({"GETappealScores",
              lines({"SELECT S.`id`, S.`titletask`, S.`maxestimation`, R.`expertID`, "
                     "concat(U.`surname`,' ',U.`name`,' ',U.`patronymic`) as fio, R.`estimate`, R.`commentestimate` FROM "
                     "`zet_evaluationsystem` S LEFT JOIN `zet_result` R ON R.`evalutionsystemID`=S.`id` and "
                     "R.`untestedworkID`=:untestID LEFT JOIN `zet_users` U ON U.`id`=R.`expertID` WHERE S.`periodID`="
                     ACTIVE_PERIOD " and S.`educationlListID`=:eduID",
                     "order by S.`id`, R.`expertID`, R.`id`"}),
              {integer("untestID"), integer("eduID")}});
    c.append({"appealExpertGet",
              lines({"SELECT A.`id`,B.`titletask`, A.`claim`, case when A.`answerСlaim` IS NULL or A.`answerСlaim` = ''",
                     "            then ''",
                     "            else A.`answerСlaim`",
                     "       end as answerСlaim FROM `zet_appeal` A,`zet_evaluationsystem` B WHERE A.`usersID`=:userID and "
                     "A.`periodID`=" ACTIVE_PERIOD " and B.`id`=A.`evalutionsystemID` and A.`educationID`=:eduID and "
                     // only the claims given to this expert: an applicant's claims may be split among several
                     "A.`expertID`=:expID",
                     "order by A.`evalutionsystemID` DESC"}),
              {integer("userID"), integer("eduID"), integer("expID")}});
    c.append({"appealAnsweUpd",
              // an answer goes only into a claim of the expert who gives it
              lines({"UPDATE `zet_appeal` SET `answerСlaim`=:answerСlaim  WHERE `id`=:id and `expertID`=:expID"}),
              {memo("answerСlaim", 500), integer("id"), integer("expID")}});
    c.append({"GETactivePeriod", lines({"SELECT `id` FROM `zet_periods` WHERE `active`=1"}), {}});

    // What each text column can hold: the centre's tables may be in any character set.
    c.append({"GETcolumnCharsets",
              lines({"SELECT `TABLE_NAME` AS `tableName`, `COLUMN_NAME` AS `columnName`, `CHARACTER_SET_NAME` AS `charset` "
                     "FROM information_schema.`COLUMNS` WHERE `TABLE_SCHEMA`=DATABASE() AND `CHARACTER_SET_NAME` IS NOT NULL"}),
              {}});

    // Announcement
    c.append({"isViewAnn", lines({"SELECT `isActive`, `BodyAdv`, `ColorCanvas` FROM `zet_advertisement1` WHERE `roleID`=5"}), {}});
    c.append({"GETadv", lines({"SELECT `BodyAdv`, `ColorCanvas` FROM `zet_advertisement1` WHERE `roleID`=5"}), {}});
    return c;
}


} // namespace

const QList<QueryDef> &sqlCatalogue()
{
    static const QList<QueryDef> catalogue = build();
    return catalogue;
}

namespace RuntimeSql {

QStringList permissions()
{
    return {QStringLiteral("SELECT `MenuItem`,`permission` FROM `zet_permissionuser` where `roleID`=5")};
}

QStringList updateVersion()
{
    return {QStringLiteral("SELECT `Version` FROM `zet_updatearm` where`roleID`=5")};
}

QStringList countAdditionalData(int userId)
{
    return {QStringLiteral("SELECT count(*) as kol FROM `zet_users5add` WHERE `users_id`=") + QString::number(userId)};
}

// INSERT IGNORE: the unique key on `users_id` turns a second, racing insert into a no-op.
QStringList insertAdditionalData(int userId)
{
    return {QStringLiteral("INSERT IGNORE INTO `zet_users5add`(`users_id`,`dateOfIssueDoc`)"),
            QStringLiteral("VALUES (") + QString::number(userId) + QStringLiteral(",NOW())")};
}

QStringList deleteSubjectAreas(int userId)
{
    return {QStringLiteral("DELETE FROM `zet_userseducation` WHERE `usersID`=") + QString::number(userId)};
}

QStringList insertSubjectAreas(int userId, const QList<int> &subjectIds)
{
    QString sql = QStringLiteral("INSERT INTO `zet_userseducation`(`usersID`, `educationListID`, `periodsID`) VALUES ");
    for (int id : subjectIds)
        sql += QStringLiteral("(") + QString::number(userId) + QStringLiteral(",") + QString::number(id)
            + QStringLiteral(",(SELECT `id` FROM `zet_periods` WHERE `active`=1)),");
    sql.chop(1);
    return {sql};
}

QStringList convertThrough(const QString &literal, const QString &charset)
{
    static const QRegularExpression plainName(QStringLiteral("\\A[A-Za-z0-9_]{1,64}\\z"));
    if (!plainName.match(charset).hasMatch())
        return {};
    return {QStringLiteral("SELECT CONVERT(CONVERT(%1 USING utf8mb4) USING %2) AS `back`").arg(literal, charset)};
}

} // namespace RuntimeSql
