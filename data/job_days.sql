-- Shared head of the three job log views that work by day (today's jobs, daily and monthly
-- totals): a WITH clause ending in the set "jobs", every job with its SubmitDay as an ISO
-- date and its page figures as numbers. The build puts it where hlv_template.sql says
-- HLV_JOB_DAYS.
WITH
    -- The submit time is stored as the general date-and-time text the programs write:
    -- month/day/year, day.month.year or year-month-day, then a blank and the time.
    -- Its date part is turned into an ISO date here so rows can be grouped by day.
    s AS (SELECT rowid AS RowNo, *, trim(COALESCE("Time Submitted", '')) AS Text FROM HLV_Log),
    p AS (SELECT *, CASE WHEN instr(Text, ' ') > 0 THEN substr(Text, 1, instr(Text, ' ') - 1) ELSE Text END AS DatePart
          FROM s),
    q AS (SELECT *,
                 CASE WHEN DatePart GLOB '[0-9][0-9][0-9][0-9]-*' THEN 'ymd'
                      WHEN instr(DatePart, '.') > 0 THEN 'dmy'
                      WHEN instr(DatePart, '/') > 0 THEN 'mdy' END AS Kind,
                 replace(replace(DatePart, '.', '/'), '-', '/') AS Slashed
          FROM p),
    r AS (SELECT *, substr(Slashed, 1, instr(Slashed, '/') - 1) AS P1, substr(Slashed, instr(Slashed, '/') + 1) AS Rest
          FROM q),
    t AS (SELECT *, substr(Rest, 1, instr(Rest, '/') - 1) AS P2, substr(Rest, instr(Rest, '/') + 1) AS P3 FROM r),
    u AS (SELECT *,
                 CASE Kind WHEN 'ymd' THEN P1 WHEN 'dmy' THEN P3 WHEN 'mdy' THEN P3 END AS YText,
                 CASE Kind WHEN 'ymd' THEN P2 WHEN 'dmy' THEN P2 WHEN 'mdy' THEN P1 END AS MText,
                 CASE Kind WHEN 'ymd' THEN P3 WHEN 'dmy' THEN P1 WHEN 'mdy' THEN P2 END AS DText
          FROM t),
    jobs AS (SELECT *,
                    CASE WHEN YText GLOB '[0-9][0-9][0-9][0-9]' AND MText GLOB '[0-9]*' AND NOT MText GLOB '*[^0-9]*'
                              AND DText GLOB '[0-9]*' AND NOT DText GLOB '*[^0-9]*'
                              AND CAST(MText AS INTEGER) BETWEEN 1 AND 12 AND CAST(DText AS INTEGER) BETWEEN 1 AND 31
                         THEN printf('%04d-%02d-%02d', CAST(YText AS INTEGER), CAST(MText AS INTEGER),
                                     CAST(DText AS INTEGER)) END AS SubmitDay,
                    COALESCE(CAST(Pages AS INTEGER), 0) AS PageCount,
                    COALESCE(CAST("Deleted Pages" AS INTEGER), 0) AS DeletedCount,
                    CASE WHEN COALESCE("Deleted Pages", '') = '' THEN COALESCE(CAST("Printed Pages" AS INTEGER), 0)
                         ELSE 0 END AS PrintedCount
             FROM u)
