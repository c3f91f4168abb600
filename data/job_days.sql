-- Shared head of the three job log views that work by day (today's jobs, daily and monthly
-- totals): a WITH clause ending in the set "jobs", every job with its SubmitDay as an ISO
-- date and its page figures as numbers. The build puts it where hlv_template.sql says
-- HLV_JOB_DAYS.
--
-- The submit time is stored as the general date-and-time text of the program that wrote
-- the row, in that program's locale: "12/9/2026 4:22:44 PM", "09/12/2026 16:22:44",
-- "09.12.2026 16:22:44", "09-12-2026 16:22:44", "2026/12/09 16時22分44秒", "2026/12/9 16:22:44",
-- at midnight the date alone. One log may hold rows of the console and of the watch program
-- written under different locales, so the order of the fields is decided row by row:
-- - The first three runs of digits are the date's fields, whatever stands between them.
-- - A four-digit first field is the year: year, month, day.
-- - Otherwise the third field is the year. The programs record in HLV_DateForms the order
--   of each form of text they write: the text, blanks around it taken off, with every
--   digit turned into '9' except a leading zero of the first two fields ("9/9/9999
--   9:99:99 PM", "09/99/9999"). A form recorded with one order is read in that order,
--   whoever reads it.
-- - A form recorded with both orders (English (US) and English (Australia) write the same
--   forms) is read by a field above 12, and has no day when both are 12 or less: a date
--   that cannot be told is left out, never swapped.
-- - A form nobody recorded (the rows of a log written before the programs recorded forms)
--   is told apart by, in turn: a field above 12 (it is the day); the other rows of the log
--   written in the same form (same separator, same clock) where a field above 12 showed
--   one order and none the other; for a row without a time, the same proof from all rows
--   with its separator, then their clock; and last the form itself: "/" with a 12-hour
--   clock (or none) and no leading zero is month first, as the English (US) form is, every
--   other form is day first. Only a log that mixes a month-first and a day-first form with
--   one separator can leave a midnight row (the date alone, both fields above 9) to that
--   last rule.
-- A text that gives no valid date has no SubmitDay.
-- The passes over the log (the CSV export, the statistics) read the rows by the same rule,
-- written out in src/store/SubmitDates.cpp: a change here is made there too.
-- Before all of this, a row whose writer recorded its day in HLV_SubmitDays has that day:
-- the rule is for the rows written before the programs recorded days (or by one that did
-- not), and a form written in both orders no longer costs those rows their days.
WITH
    -- The submit times read, by row.
    submitted AS (SELECT rowid AS RowNo, "Time Submitted" AS Submitted FROM HLV_Log WHERE "Time Submitted" IS NOT NULL),
    -- Every digit turned into '9': runs of digits are then found with instr and ltrim.
    m AS MATERIALIZED (SELECT RowNo, Text,
                 replace(replace(replace(replace(replace(replace(replace(replace(replace(Text,
                     '0', '9'), '1', '9'), '2', '9'), '3', '9'), '4', '9'), '5', '9'), '6', '9'), '7', '9'),
                     '8', '9') AS Mask
          -- Arabic-Indic and Persian digits read as the digits they are.
          FROM (SELECT RowNo,
                       replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(trim(Submitted),
                           '٠', '0'), '١', '1'), '٢', '2'), '٣', '3'), '٤', '4'),
                           '٥', '5'), '٦', '6'), '٧', '7'), '٨', '8'), '٩', '9'),
                           '۰', '0'), '۱', '1'), '۲', '2'), '۳', '3'), '۴', '4'),
                           '۵', '5'), '۶', '6'), '۷', '7'), '۸', '8'), '۹', '9') AS Text
                FROM submitted)),
    r1 AS MATERIALIZED (SELECT *, instr(Mask, '9') AS A1 FROM m),
    l1 AS MATERIALIZED (SELECT *, length(substr(Mask, A1)) - length(ltrim(substr(Mask, A1), '9')) AS L1 FROM r1 WHERE A1 > 0),
    r2 AS MATERIALIZED (SELECT *, A1 + L1 - 1 + instr(substr(Mask, A1 + L1), '9') AS A2 FROM l1
           WHERE instr(substr(Mask, A1 + L1), '9') > 0),
    l2 AS MATERIALIZED (SELECT *, length(substr(Mask, A2)) - length(ltrim(substr(Mask, A2), '9')) AS L2 FROM r2),
    r3 AS MATERIALIZED (SELECT *, A2 + L2 - 1 + instr(substr(Mask, A2 + L2), '9') AS A3 FROM l2
           WHERE instr(substr(Mask, A2 + L2), '9') > 0),
    l3 AS MATERIALIZED (SELECT *, length(substr(Mask, A3)) - length(ltrim(substr(Mask, A3), '9')) AS L3 FROM r3),
    f AS MATERIALIZED (SELECT RowNo,
                 substr(Mask, 1, A1 - 1) || CASE WHEN L1 > 1 AND substr(Text, A1, 1) = '0' THEN '0' ELSE '9' END ||
                     substr(Mask, A1 + 1, A2 - A1 - 1) ||
                     CASE WHEN L2 > 1 AND substr(Text, A2, 1) = '0' THEN '0' ELSE '9' END ||
                     substr(Mask, A2 + 1) AS Form,
                 substr(Text, A1, L1) AS F1, substr(Text, A2, L2) AS F2, substr(Text, A3, L3) AS F3,
                 substr(Text, A1 + L1, 1) AS Sep,
                 CASE WHEN trim(substr(Text, A3 + L3)) = '' THEN 'none'
                      WHEN substr(Text, A3 + L3) GLOB '*[A-Za-z]*' THEN '12h'
                      ELSE '24h' END AS Clock
          FROM l3),
    -- Rows with the year last, and what each of them proves about the order of its form.
    yl AS MATERIALIZED (SELECT *, CAST(F1 AS INTEGER) AS N1, CAST(F2 AS INTEGER) AS N2 FROM f
           WHERE length(F3) = 4 AND length(F1) <= 2 AND length(F2) <= 2),
    proof AS MATERIALIZED (SELECT Sep, Clock, MAX(N1 > 12) AS DayFirst, MAX(N2 > 12) AS MonthFirst FROM yl GROUP BY Sep, Clock),
    bySep AS MATERIALIZED (SELECT Sep, MAX(N1 > 12) AS DayFirst, MAX(N2 > 12) AS MonthFirst,
                                  MAX(Clock = '12h') AS Has12, MAX(Clock = '24h') AS Has24
                           FROM yl GROUP BY Sep),
    -- The order each form was written in; 'either' for a form written in both.
    forms AS MATERIALIZED (SELECT Form,
                                  CASE WHEN MIN("Order") = MAX("Order") THEN MIN("Order") ELSE 'either' END AS Ord
                           FROM HLV_DateForms WHERE "Order" IN ('dmy', 'mdy') GROUP BY Form),
    ymd AS MATERIALIZED (SELECT RowNo, F1 AS YText, F2 AS MText, F3 AS DText FROM f WHERE length(F1) = 4
            UNION ALL
            SELECT RowNo, F3,
                   CASE Ord WHEN 'dmy' THEN F2 ELSE F1 END,
                   CASE Ord WHEN 'dmy' THEN F1 ELSE F2 END
            FROM (SELECT yl.*,
                         CASE WHEN forms.Ord IN ('dmy', 'mdy') THEN forms.Ord
                              WHEN N1 > 12 THEN 'dmy'
                              WHEN N2 > 12 THEN 'mdy'
                              WHEN forms.Ord IS NOT NULL THEN NULL
                              WHEN proof.DayFirst AND NOT proof.MonthFirst THEN 'dmy'
                              WHEN proof.MonthFirst AND NOT proof.DayFirst THEN 'mdy'
                              WHEN yl.Clock = 'none' AND bySep.DayFirst AND NOT bySep.MonthFirst THEN 'dmy'
                              WHEN yl.Clock = 'none' AND bySep.MonthFirst AND NOT bySep.DayFirst THEN 'mdy'
                              WHEN yl.Clock = 'none' AND bySep.Has24 AND NOT bySep.Has12 THEN 'dmy'
                              WHEN yl.Clock = 'none' AND bySep.Has12 AND NOT bySep.Has24 THEN 'mdy'
                              WHEN yl.Sep = '/' AND yl.Clock <> '24h' AND NOT (F1 GLOB '0*' OR F2 GLOB '0*')
                                  THEN 'mdy'
                              ELSE 'dmy' END AS Ord
                  FROM yl
                  JOIN proof ON proof.Sep = yl.Sep AND proof.Clock = yl.Clock
                  JOIN bySep ON bySep.Sep = yl.Sep
                  LEFT JOIN forms ON forms.Form = yl.Form) AS ordered
            WHERE Ord IS NOT NULL),
    days AS MATERIALIZED (SELECT RowNo, printf('%04d-%02d-%02d', CAST(YText AS INTEGER), CAST(MText AS INTEGER),
                                  CAST(DText AS INTEGER)) AS Iso
             FROM ymd),
    -- A day its writer recorded comes first; the rule above reads the rows without one.
    jobs AS (SELECT HLV_Log.rowid AS RowNo, HLV_Log.*,
                    CASE WHEN date(sd."Day", '+0 days') = sd."Day" THEN sd."Day"
                         WHEN date(days.Iso, '+0 days') = days.Iso THEN days.Iso END AS SubmitDay,
                    COALESCE(CAST(Pages AS INTEGER), 0) AS PageCount,
                    COALESCE(CAST("Deleted Pages" AS INTEGER), 0) AS DeletedCount,
                    CASE WHEN COALESCE("Deleted Pages", '') = '' THEN COALESCE(CAST("Printed Pages" AS INTEGER), 0)
                         ELSE 0 END AS PrintedCount
             FROM HLV_Log LEFT JOIN days ON days.RowNo = HLV_Log.rowid
                  LEFT JOIN HLV_SubmitDays AS sd ON sd."TransactionID" = HLV_Log.TransactionID)
