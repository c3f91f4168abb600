-- The template job log. Every new job log is a copy of the database built from this file;
-- the programs never create tables or views themselves.
--
-- Values arrive as text; an empty text is stored as NULL. Page fields hold whole numbers
-- read back by their leading digits. HLV_Audit."Time" is local time as
-- 'yyyy-MM-dd HH:mm:ss'.

PRAGMA user_version = 1;

CREATE TABLE HLV_Log (
    "TransactionID"  TEXT,
    "Server"         TEXT,
    "Queue"          TEXT,
    "Description"    TEXT,
    "Computer"       TEXT,
    "User"           TEXT,
    "Name"           TEXT,
    "Priority"       TEXT,
    "Time Submitted" TEXT,
    "Pages"          TEXT,
    "Size"           TEXT,
    "Deleted"        TEXT,
    "Deleted Pages"  TEXT,
    "Resumed"        TEXT,
    "Printed Pages"  TEXT,
    "HLV User"       TEXT,
    "HLV Computer"   TEXT,
    "Comments"       TEXT
);
-- One row per job: writers look the key up before every field they write.
CREATE UNIQUE INDEX HLV_Log_TransactionID ON HLV_Log ("TransactionID");

CREATE TABLE HLV_Audit (
    "Time"         DATETIME,
    "Action"       TEXT,
    "Description"  TEXT,
    "HLV User"     TEXT,
    "HLV Computer" TEXT
);
CREATE INDEX HLV_Audit_Time ON HLV_Audit ("Time");

-- The order of day, month and year ('dmy', 'mdy' or 'ymd') of each form of "Time Submitted"
-- text that a program wrote into this log (the form: see job_days.sql). The views that work
-- by day read a date in the order its form was written in, whatever the reader's locale.
CREATE TABLE HLV_DateForms (
    "Form"  TEXT NOT NULL,
    "Order" TEXT NOT NULL,
    PRIMARY KEY ("Form", "Order")
) WITHOUT ROWID;

-- The day ('yyyy-MM-dd') each job was submitted, recorded by the program that wrote its
-- "Time Submitted" text, which knew the day it meant. Read before any rule about forms.
CREATE TABLE HLV_SubmitDays (
    "TransactionID" TEXT NOT NULL PRIMARY KEY,
    "Day"           TEXT NOT NULL
) WITHOUT ROWID;

-- Jobs = rows, Pages = total pages, Deleted = pages of deleted jobs, Printed = pages of
-- released jobs that were not deleted afterwards (as the statistics count them).

CREATE VIEW LogUserReport AS
WITH jobs AS (SELECT *,
           COALESCE(CAST(Pages AS INTEGER), 0) AS PageCount,
           COALESCE(CAST("Deleted Pages" AS INTEGER), 0) AS DeletedCount,
           CASE WHEN COALESCE("Deleted Pages", '') = '' THEN COALESCE(CAST("Printed Pages" AS INTEGER), 0)
                ELSE 0 END AS PrintedCount
    FROM HLV_Log)
SELECT "User" AS "User", COUNT(*) AS Jobs, SUM(PageCount) AS Pages, SUM(DeletedCount) AS Deleted, SUM(PrintedCount) AS Printed
FROM jobs
GROUP BY "User" COLLATE NOCASE
ORDER BY "User" COLLATE NOCASE;

CREATE VIEW LogPrinterReport AS
WITH jobs AS (SELECT *,
           COALESCE(CAST(Pages AS INTEGER), 0) AS PageCount,
           COALESCE(CAST("Deleted Pages" AS INTEGER), 0) AS DeletedCount,
           CASE WHEN COALESCE("Deleted Pages", '') = '' THEN COALESCE(CAST("Printed Pages" AS INTEGER), 0)
                ELSE 0 END AS PrintedCount
    FROM HLV_Log)
SELECT "Server" AS "Server", "Queue" AS "Queue", COUNT(*) AS Jobs, SUM(PageCount) AS Pages, SUM(DeletedCount) AS Deleted, SUM(PrintedCount) AS Printed
FROM jobs
GROUP BY "Server" COLLATE NOCASE, "Queue" COLLATE NOCASE
ORDER BY "Server" COLLATE NOCASE, "Queue" COLLATE NOCASE;

CREATE VIEW LogQueueManagersReport AS
WITH jobs AS (SELECT *,
           COALESCE(CAST(Pages AS INTEGER), 0) AS PageCount,
           COALESCE(CAST("Deleted Pages" AS INTEGER), 0) AS DeletedCount,
           CASE WHEN COALESCE("Deleted Pages", '') = '' THEN COALESCE(CAST("Printed Pages" AS INTEGER), 0)
                ELSE 0 END AS PrintedCount
    FROM HLV_Log)
SELECT "HLV Computer" AS "HLV Computer", "HLV User" AS "HLV User", COUNT(*) AS Jobs, SUM(PageCount) AS Pages, SUM(DeletedCount) AS Deleted, SUM(PrintedCount) AS Printed
FROM jobs
WHERE "HLV Computer" IS NOT NULL OR "HLV User" IS NOT NULL
GROUP BY "HLV Computer" COLLATE NOCASE, "HLV User" COLLATE NOCASE
ORDER BY "HLV Computer" COLLATE NOCASE, "HLV User" COLLATE NOCASE;

CREATE VIEW LogTodayReport AS
@HLV_JOB_DAYS@
SELECT "Time Submitted", "Server", "Queue", "Description", "Computer", "User", "Name", "Priority", "Pages", "Size",
       "Deleted", "Deleted Pages", "Resumed", "Printed Pages", "HLV User", "HLV Computer", "Comments"
FROM jobs
WHERE SubmitDay = date('now', 'localtime')
ORDER BY RowNo;

CREATE VIEW LogDailyJobsReport AS
@HLV_JOB_DAYS@
SELECT CAST(substr(SubmitDay, 1, 4) AS INTEGER) AS "Year", CAST(substr(SubmitDay, 6, 2) AS INTEGER) AS "Month",
       CAST(substr(SubmitDay, 9, 2) AS INTEGER) AS "Day", COUNT(*) AS Jobs, SUM(PageCount) AS Pages, SUM(DeletedCount) AS Deleted, SUM(PrintedCount) AS Printed
FROM jobs
GROUP BY SubmitDay
ORDER BY SubmitDay;

CREATE VIEW LogMonthlyJobsReport AS
@HLV_JOB_DAYS@
SELECT CAST(substr(SubmitDay, 1, 4) AS INTEGER) AS "Year", CAST(substr(SubmitDay, 6, 2) AS INTEGER) AS "Month",
       COUNT(*) AS Jobs, SUM(PageCount) AS Pages, SUM(DeletedCount) AS Deleted, SUM(PrintedCount) AS Printed
FROM jobs
GROUP BY substr(SubmitDay, 1, 7)
ORDER BY substr(SubmitDay, 1, 7);

CREATE VIEW LogAuditTodayReport AS
SELECT "Time", "HLV Computer", "HLV User", "Action", "Description"
FROM HLV_Audit
WHERE date("Time") = date('now', 'localtime')
ORDER BY "Time", rowid;

CREATE VIEW LogAuditActionsReport AS
SELECT "Action", "Description", "HLV User", "HLV Computer", COUNT(*) AS "Count"
FROM HLV_Audit
GROUP BY "Action", "Description", "HLV User", "HLV Computer"
ORDER BY "Action", "Description", "HLV User", "HLV Computer";
