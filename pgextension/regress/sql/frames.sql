-- Bytes that are no frame, or a frame whose request cannot be read, get an answer that says so;
-- the procedure keeps answering the next request.
SET SESSION AUTHORIZATION "REGRESS_ANN";
SELECT regress.answer(sys.repository_rest(''::bytea)) AS empty;
SELECT regress.answer(sys.repository_rest('hello world'::bytea)) AS text;
SELECT regress.answer(sys.repository_rest('repoV2'::bytea)) AS no_field_count;
-- Two fields announced, one present.
SELECT regress.answer(sys.repository_rest('repoV2'::bytea || regress.le32(2) || regress.le32(2)
    || '{}'::bytea)) AS missing_field;
-- A field longer than the frame, and one of a negative length.
SELECT regress.answer(sys.repository_rest('repoV2'::bytea || regress.le32(1)
    || regress.le32(2147483647) || '{}'::bytea)) AS long_field;
SELECT regress.answer(sys.repository_rest('repoV2'::bytea || regress.le32(1) || regress.le32(-5)
    || '{}'::bytea)) AS negative_field;
-- A field count no frame could hold, and a count of no fields at all.
SELECT regress.answer(sys.repository_rest('repoV2'::bytea || regress.le32(2147483647)
    || regress.le32(2) || '{}'::bytea)) AS huge_count;
SELECT regress.answer(sys.repository_rest('repoV2'::bytea || regress.le32(0)
    || regress.le32(2) || '{}'::bytea)) AS no_fields;
-- Whole frames around requests that cannot be read.
SELECT regress.answer(sys.repository_rest(regress.frame('{"action":'))) AS cut_json;
SELECT regress.answer(sys.repository_rest(regress.frame('[1, 2]'))) AS not_an_object;
SELECT regress.answer(sys.repository_rest(regress.frame('{"action":"list"}'))) AS no_what;
SELECT regress.answer(sys.repository_rest(regress.frame('{"action":"drop","what":"tables"}')))
    AS unknown_request;
SELECT sys.repository_rest(NULL) IS NULL AS null_in_null_out;
-- After all that, a good request is answered.
SELECT regress.answer(sys.repository_rest(regress.frame('{"action":"list","what":"packages"}')))
    AS packages;
RESET SESSION AUTHORIZATION;
