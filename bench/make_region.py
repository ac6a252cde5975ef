#!/usr/bin/env python3
"""Writes a whole region's data for services/db/schema.sql to standard output:

    bench/make_region.py SCALE > region.sql

SCALE 1 is 5,000 participants, 10,000 works, 60 experts, 40,000 task results and 2,000 appeals;
SCALE 10 is ten times that. Discipline 1 of the active period holds a fifth of the works (20,000
at SCALE 10), the list the benchmark opens. Expert 1 is bench@vetlan.test, password Demo2023.
The same SCALE always writes the same data.
"""
import random
import sys

PASSWORD_HASH = "$2a$10$3rqoikcPkDbQ8/X/lg8Szefd436gh2J2gb/OGkKfEF3EE0iPEV.Bq"   # Demo2023
SURNAMES = ["Иванов", "Смирнов", "Кузнецов", "Попов", "Васильев", "Петров", "Соколов", "Михайлов",
            "Новиков", "Фёдоров", "Морозов", "Волков", "Алексеев", "Лебедев", "Семёнов", "Егоров"]
NAMES = ["Иван", "Дмитрий", "Артём", "Кирилл", "Максим", "Анна", "Мария", "Софья", "Елена", "Ольга"]
PATRONYMICS = ["Иванович", "Петрович", "Сергеевич", "Андреевна", "Олеговна", "Игоревич"]
DISCIPLINES = 10
AREAS = 30
TASKS = 5
ACTIVE, PAST = 2, 1


def q(text):
    return "'" + text.replace("\\", "\\\\").replace("'", "''") + "'"


class Writer:
    """Multi-row INSERTs of at most 1,000 rows each."""

    def __init__(self, out):
        self.out = out

    def insert(self, table, columns, rows):
        head = "INSERT INTO `%s` (%s) VALUES\n" % (table, ", ".join("`%s`" % c for c in columns))
        batch = []
        for row in rows:
            batch.append("(" + ", ".join(v if isinstance(v, str) else str(v) for v in row) + ")")
            if len(batch) == 1000:
                self.out.write(head + ",\n".join(batch) + ";\n")
                batch = []
        if batch:
            self.out.write(head + ",\n".join(batch) + ";\n")


def main():
    if len(sys.argv) != 2 or not sys.argv[1].isdigit() or int(sys.argv[1]) < 1:
        sys.exit("usage: make_region.py SCALE   (a whole number, 1 or more)")
    scale = int(sys.argv[1])
    rnd = random.Random(20261210 + scale)
    out = sys.stdout
    w = Writer(out)
    out.write("SET NAMES utf8mb4;\nSET foreign_key_checks = 0;\nSET unique_checks = 0;\nSET autocommit = 0;\n")

    experts = 60 * scale
    participants = 5000 * scale
    works = 10000 * scale
    results_wanted = 40000 * scale
    appeals = 2000 * scale
    first_participant = 100001

    w.insert("zet_periods", ["id", "name", "active"],
             [(PAST, q("2022/2023 учебный год"), 0), (ACTIVE, q("2023/2024 учебный год"), 1)])
    w.insert("zet_areas", ["id", "name"], [(a, q("Район № %d" % a)) for a in range(1, AREAS + 1)])
    w.insert("zet_academicdegree", ["id", "fullName"], [(1, q("Без степени")), (2, q("Кандидат наук"))])
    w.insert("zet_subjects", ["id", "name"], [(s, q("Предмет %d" % s)) for s in range(1, DISCIPLINES + 1)])
    w.insert("zet_educationallist", ["id", "nameEdu", "PrefixEncrypt", "ElementarySchool", "SubjectsID"],
             [(d, q("Дисциплина %d" % d), q("D%d" % d), 0, d) for d in range(1, DISCIPLINES + 1)]
             + [(DISCIPLINES + 1, q("Начальная школа"), q("NS"), 1, 1)])

    def person(uid, role, email):
        return (uid, q(email), q(PASSWORD_HASH), q(rnd.choice(SURNAMES)), q(rnd.choice(NAMES)),
                q(rnd.choice(PATRONYMICS)), "NULL", role, 1)

    users = [person(1, 5, "bench@vetlan.test")]
    users += [person(e, 5, "expert%d@vetlan.test" % e) for e in range(2, experts + 1)]
    users += [person(first_participant + p, 4, "p%d@school.test" % p) for p in range(participants)]
    w.insert("zet_users", ["id", "email", "password", "surname", "name", "patronymic", "phone", "roleID", "isActive"],
             users)
    w.insert("zet_users4add", ["usersID", "classStudy"],
             [(first_participant + p, q(str(rnd.choice([9, 10, 11])))) for p in range(participants)])
    # Every expert grades two subjects; expert 1 grades discipline 1.
    w.insert("zet_userseducation", ["usersID", "educationListID", "periodsID"],
             [(e, s, ACTIVE) for e in range(1, experts + 1)
              for s in ({1, 2} if e == 1 else {1 + e % DISCIPLINES, 1 + (e + 3) % DISCIPLINES})])
    # Each participant has one expert.
    expert_of = {first_participant + p: 1 + p % experts for p in range(participants)}
    w.insert("zet_setexpert", ["expertID", "userID"], [(e, u) for u, e in expert_of.items()])

    tasks = {}
    rows = []
    task_id = 0
    for period in (PAST, ACTIVE):
        for d in range(1, DISCIPLINES + 1):
            for t in range(TASKS):
                task_id += 1
                tasks.setdefault((period, d), []).append((task_id, 5 + t))
                rows.append((task_id, period, d, 5 + t, q("Задание %d" % (t + 1))))
    w.insert("zet_evaluationsystem", ["id", "periodID", "educationlListID", "maxestimation", "titletask"], rows)

    work_rows = []
    big = works // 5
    for k in range(1, works + 1):
        user = first_participant + (k - 1) % participants
        if k <= big:
            d, period = 1, ACTIVE
        else:
            d = rnd.randint(2, DISCIPLINES)
            period = ACTIVE if rnd.random() < 0.7 else PAST
        work_rows.append((k, user, d, period, rnd.randint(1, AREAS), "D%d_%d_%d_%d_%d.pdf" % (d, d, period, user, k)))
    w.insert("zet_untestedwork", ["id", "user_id", "educationallistID", "period_id", "areas_id", "bodyFile", "checkWork"],
             [(k, u, d, p, a, q(f), 0) for (k, u, d, p, a, f) in work_rows])

    # Results: every task of the scored works, by the work's expert.
    scored = rnd.sample(work_rows, results_wanted // TASKS)
    results = []
    for (k, u, d, p, a, f) in scored:
        for (tid, top) in tasks[(p, d)]:
            mark = rnd.randint(0, top)
            results.append((d, p, expert_of[u], tid, mark, q("") if mark == top else q("Неполное решение"), k))
    w.insert("zet_result", ["educationlListID", "periodID", "expertID", "evalutionsystemID", "estimate",
                            "commentestimate", "untestedworkID"], results)

    # Appeals on scored works of the active period, one task each.
    active_scored = [r for r in scored if r[3] == ACTIVE]
    picks = [active_scored[i % len(active_scored)] for i in range(appeals)]
    w.insert("zet_appeal", ["usersID", "expertID", "periodID", "educationID", "evalutionsystemID", "claim",
                            "answerСlaim", "fileOrDoc"],
             [(u, expert_of[u], p, d, tasks[(p, d)][i % TASKS][0], q("Прошу пересмотреть оценку."), "NULL", i % 2)
              for i, (k, u, d, p, a, f) in enumerate(picks)])

    # Checked scans uploaded for half of the works.
    w.insert("zet_testedwork", ["areas_id", "user_id", "period_id", "educationList_id", "extFile", "bodyFile"],
             [(a, u, p, d, q("pdf"), q("D%d_%d_%d_%d_c%d.pdf" % (d, d, p, u, k)))
              for (k, u, d, p, a, f) in work_rows if k % 2 == 0])

    w.insert("zet_advertisement1", ["roleID", "isActive", "BodyAdv", "ColorCanvas"],
             [(5, 0, q("{\\rtf1\\ansi Объявление}"), 16777215)])
    w.insert("zet_permissionuser", ["roleID", "MenuItem", "permission"], [(5, q("N132"), 1)])
    w.insert("zet_updatearm", ["roleID", "Version"], [(5, q("v3.0.0 build 2"))])
    out.write("COMMIT;\nSET foreign_key_checks = 1;\nSET unique_checks = 1;\n")


if __name__ == "__main__":
    main()
