#!/usr/bin/env bash
# The migrations bring a database made before the unique keys up to date, and running them
# again changes nothing. Uses a scratch database beside the test one.
set -euo pipefail
root=$1
db() { mariadb --no-defaults -uroot --socket="$VARDEX_TEST_DB_SOCKET" --batch --skip-column-names "$@"; }
db -e "DROP DATABASE IF EXISTS vardex_migration; CREATE DATABASE vardex_migration CHARACTER SET utf8mb4"
trap 'db -e "DROP DATABASE IF EXISTS vardex_migration"' EXIT
# the two tables as an old site has them: plain keys only
db vardex_migration -e "
  CREATE TABLE zet_users5add (id INT AUTO_INCREMENT PRIMARY KEY, users_id INT NOT NULL, KEY users_id (users_id));
  CREATE TABLE zet_testedwork (id INT AUTO_INCREMENT PRIMARY KEY, bodyFile VARCHAR(255) NOT NULL, KEY bodyFile (bodyFile),
    educationList_id INT, period_id INT, areas_id INT, user_id INT);
  CREATE TABLE zet_untestedwork (id INT PRIMARY KEY, educationallistID INT, period_id INT, areas_id INT, user_id INT,
    bodyFile VARCHAR(255));
  CREATE TABLE zet_result (id INT AUTO_INCREMENT PRIMARY KEY, untestedworkID INT, expertID INT, evalutionsystemID INT,
    periodID INT, estimate INT);
  INSERT INTO zet_result (untestedworkID, expertID, evalutionsystemID, periodID, estimate) VALUES (1, 1, 1, 2, 3), (1, 1, 2, 2, 0);
  CREATE TABLE zet_appeal (id INT PRIMARY KEY, usersID INT, expertID INT, educationID INT, periodID INT);
  INSERT INTO zet_users5add (users_id) VALUES (1), (2);
  INSERT INTO zet_testedwork (bodyFile) VALUES ('MA9_1_2_1001_1.pdf');"
# a centre's older rows: one stored name reissued after a deletion, two rows for one expert
db vardex_migration -e "
  INSERT INTO zet_users5add (users_id) VALUES (2);
  INSERT INTO zet_testedwork (bodyFile) VALUES ('MA9_1_2_1001_1.pdf');
  INSERT INTO zet_result (untestedworkID, expertID, evalutionsystemID, periodID, estimate) VALUES (1, 1, 2, 2, 1);"
report=$(for f in "$root"/services/db/migrations/*.sql; do db vardex_migration <"$f" || exit 1; done) \
  || { echo "FAIL: a migration failed on duplicated rows"; exit 1; }
grep -q "zet_testedwork: several rows name one file.*MA9_1_2_1001_1.pdf" <<<"$report" \
  || { echo "FAIL: the duplicated stored name is not listed: $report"; exit 1; }
grep -q "zet_result: one expert's result for a task stored more than once" <<<"$report" \
  || { echo "FAIL: the sheet stored twice is not listed: $report"; exit 1; }
[ "$(db -e "SELECT COUNT(*) FROM information_schema.STATISTICS WHERE TABLE_SCHEMA='vardex_migration'
           AND TABLE_NAME='zet_result' AND INDEX_NAME='one_result_per_task'")" = 0 ] \
  || { echo "FAIL: the one-sheet key was added over repeated results"; exit 1; }
grep -q "zet_users5add: several rows for one expert" <<<"$report" \
  || { echo "FAIL: the duplicated expert is not listed: $report"; exit 1; }
[ "$(db -e "SELECT COUNT(*) FROM information_schema.STATISTICS WHERE TABLE_SCHEMA='vardex_migration'
           AND TABLE_NAME='zet_testedwork' AND INDEX_NAME='edu_period_area'")" != 0 ] \
  || { echo "FAIL: the migrations after 001 did not run"; exit 1; }
# settled as the listing says: the keys come with the next run
db vardex_migration -e "
  DELETE FROM zet_users5add WHERE id = (SELECT MAX(id) FROM (SELECT id FROM zet_users5add) x);
  DELETE FROM zet_testedwork WHERE id = (SELECT MAX(id) FROM (SELECT id FROM zet_testedwork) x);
  DELETE FROM zet_result WHERE id = (SELECT MAX(id) FROM (SELECT id FROM zet_result) x);"
for run in 1 2; do
  for f in "$root"/services/db/migrations/*.sql; do db vardex_migration <"$f"; done
done
unique() {  # table column: the number of single-column unique keys on it
  db -e "SELECT COUNT(*) FROM information_schema.STATISTICS s WHERE TABLE_SCHEMA='vardex_migration'
         AND TABLE_NAME='$1' AND COLUMN_NAME='$2' AND NON_UNIQUE=0 AND INDEX_NAME<>'PRIMARY'"
}
[ "$(unique zet_users5add users_id)" = 1 ] || { echo "FAIL: no unique key on zet_users5add.users_id"; exit 1; }
[ "$(unique zet_testedwork bodyFile)" = 1 ] || { echo "FAIL: no unique key on zet_testedwork.bodyFile"; exit 1; }
[ "$(db -e "SELECT GROUP_CONCAT(COLUMN_NAME ORDER BY SEQ_IN_INDEX) FROM information_schema.STATISTICS
           WHERE TABLE_SCHEMA='vardex_migration' AND TABLE_NAME='zet_result' AND INDEX_NAME='one_result_per_task'
           AND NON_UNIQUE=0")" = "untestedworkID,expertID,evalutionsystemID,periodID" ] \
  || { echo "FAIL: no one-sheet key on zet_result"; exit 1; }
for index in zet_untestedwork.edu_period_area zet_testedwork.edu_period_area zet_result.work_expert_period \
             zet_appeal.expert_edu_period zet_appeal.user_edu_period; do
  n=$(db -e "SELECT COUNT(DISTINCT INDEX_NAME) FROM information_schema.STATISTICS WHERE TABLE_SCHEMA='vardex_migration'
             AND TABLE_NAME='${index%.*}' AND INDEX_NAME='${index#*.}'")
  [ "$n" = 1 ] || { echo "FAIL: no index $index"; exit 1; }
done
# the two list indexes carry the participant and the file, in the schema's order
for table in zet_untestedwork zet_testedwork; do
  cols=$(db -e "SELECT GROUP_CONCAT(COLUMN_NAME ORDER BY SEQ_IN_INDEX) FROM information_schema.STATISTICS
                WHERE TABLE_SCHEMA='vardex_migration' AND TABLE_NAME='$table' AND INDEX_NAME='edu_period_area'")
  case "$cols" in
    *,period_id,areas_id,user_id,bodyFile) ;;
    *) echo "FAIL: $table.edu_period_area is ($cols)"; exit 1 ;;
  esac
done
if db vardex_migration -e "INSERT INTO zet_testedwork (bodyFile) VALUES ('MA9_1_2_1001_1.pdf')" 2>/dev/null; then
  echo "FAIL: a second row for one stored file was accepted"; exit 1
fi
# the schema of a new database already has them: the migrations leave it as it is
for f in "$root"/services/db/migrations/*.sql; do db sorev <"$f"; done
echo "migrations: 1 passed, 0 failed"
